#include "project/complete_protocol.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "matrix/file_error.h"
#include "matrix/text_file.h"
#include "tests/project/report_fixture.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using Lines = std::vector<std::string>;

std::string Golden(const std::string& name) {
    return test::ReadFileBytes(test::SourcePath("tests/project/golden/" + name));
}

// Characters of a UTF-8 text.
std::size_t Chars(const std::string& s) {
    std::size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0u) != 0x80u) ++n;
    return n;
}

TEST(CompleteProtocol, WholeFileInCommaLocaleMatchesTheReviewedFile) {
    test::TempDir dir;
    const ProjectState s = test::MakeReportProject();
    const std::string file = dir.Path("kompletni.txt");
    WriteCompleteProtocol(file, s, ',');
    const std::string expected = Golden("complete_comma.txt");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(test::ReadFileBytes(file), expected);
}

TEST(CompleteProtocol, PointLocaleWithBothOptionalBlocksOffMatchesTheReviewedFile) {
    test::TempDir dir;
    ProjectState s = test::MakeReportProject();
    s.Settings.RobustEstimation = false;
    s.Settings.AdjustCameraConstant = false;
    const std::string file = dir.Path("kompletni.txt");
    WriteCompleteProtocol(file, s, '.');
    const std::string expected = Golden("complete_point_settings_off.txt");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(test::ReadFileBytes(file), expected);
}

TEST(CompleteProtocol, AnExistingFileIsReplaced) {
    test::TempDir dir;
    const ProjectState s = test::MakeReportProject();
    const std::string file = dir.Path("kompletni.txt");
    test::WriteFileBytes(file, std::string(20000, 'z'));
    WriteCompleteProtocol(file, s, ',');
    WriteCompleteProtocol(file, s, ',');
    EXPECT_EQ(test::ReadFileBytes(file), Golden("complete_comma.txt"));
}

TEST(CompleteProtocol, SettingsBlockWithBothSwitchesOffEndsInTwoBlankLines) {
    ProjectState s = test::MakeReportProject();
    s.Settings.RobustEstimation = false;
    s.Settings.AdjustCameraConstant = false;
    const Lines lines = CompleteProtocolStartLines(s, ',');
    ASSERT_GE(lines.size(), 18u);
    EXPECT_EQ(lines[14], "Počet bodů do vyrovnání:............50%");
    EXPECT_EQ(lines[15], " ");
    EXPECT_EQ(lines[16], " ");
    EXPECT_EQ(lines[17], std::string(28, 'x'));
}

TEST(CompleteProtocol, NoOutliersGiveCountZeroAndTwoBlankLines) {
    ProjectState s = test::MakeReportProject();
    s.RobustOutliers = test::MakeMatrix({{0}});
    const Lines lines = CompleteProtocolBundleLines(s, ',');
    const Lines expected = {
        "Odlehlé body zachycené robustní metodou",
        std::string(39, '-'),
        " ",
        "Počet vyřazených bodů z výpočtu svazkového vyrovnání: 0",
        " ",
        " ",
        "Výpočet svazkového vyrovnání bez konstanty komory",
    };
    ASSERT_GE(lines.size(), 15u);
    EXPECT_EQ(Lines(lines.begin() + 8, lines.begin() + 15), expected);
}

TEST(CompleteProtocol, FramesAreAsLongAsTheirHeadings) {
    const ProjectState s = test::MakeReportProject();
    Lines all;
    for (const Lines& part :
         {CompleteProtocolStartLines(s, ','), CompleteProtocolOrientationLines(s, ','),
          CompleteProtocolBundleLines(s, ','), CompleteProtocolXYZLines(s, ',')})
        all.insert(all.end(), part.begin(), part.end());
    const std::pair<const char*, std::size_t> headings[] = {
        {"xxxxx Nastavení xxxxx", 21},
        {"xxxxx Parametry kamery xxxxx", 28},
        {"Opravené hodnoty snímkových souřadnic o distorze", 48},
        {"Výpočet přibližné orientace - minimální počet bodů", 50},
        {"Výpočet přibližné orientace - projektivní transformace", 54},
        {"Přibližné prostorové souřadnice pro svazkové vyrovnání", 54},
        {"Výpočet svazkového vyrovnání", 28},
        {"Prostorové souřadnice XYZ - komplet", 35},
        {"Prostorové souřadnice XYZ", 25},
    };
    for (const auto& [heading, length] : headings) {
        SCOPED_TRACE(heading);
        auto it = std::find(all.begin() + 1, all.end() - 1, std::string(heading));
        ASSERT_NE(it, all.end() - 1);
        EXPECT_EQ(Chars(*it), length);
        EXPECT_EQ(*(it - 1), std::string(length, 'x'));
        EXPECT_EQ(*(it + 1), std::string(length, 'x'));
    }
    EXPECT_EQ(Chars(kOrientationHeaderFile), 136u);
}

TEST(CompleteProtocol, MissingResultBlocksAreSkippedNotFatal) {
    // The two switches were turned on after an adjustment that ran without them.
    test::TempDir dir;
    ProjectState s = test::MakeReportProject();
    s.RobustOutliers.reset();
    s.BundleUnknownsF.reset();
    s.BundleImageIndexF.reset();
    const Lines lines = CompleteProtocolBundleLines(s, ',');
    for (const auto& line : lines) {
        EXPECT_EQ(line.find("Odlehlé body"), std::string::npos);
        EXPECT_EQ(line.find("s konstantou komory"), std::string::npos);
    }
    EXPECT_NO_THROW(WriteCompleteProtocol(dir.Path("k.txt"), s, ','));
}

TEST(CompleteProtocol, UnwritableFileRaisesFileError) {
    test::TempDir dir;
    const ProjectState s = test::MakeReportProject();
    EXPECT_THROW(WriteCompleteProtocol(dir.Path("missing/k.txt"), s, ','), FileError);
    // A folder of that name cannot be replaced by the protocol.
    std::filesystem::create_directory(dir.Path("folder.txt"));
    EXPECT_THROW(WriteCompleteProtocol(dir.Path("folder.txt"), s, ','), FileError);
}

}  // namespace
}  // namespace pelvanor
