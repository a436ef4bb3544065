#include "project/load_warnings.h"
#include "project/result_warnings.h"
#include "project/settings_warnings.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "input/control_file.h"
#include "input/image_file.h"
#include "project/bundle_pipeline.h"
#include "project/failure_causes.h"
#include "project/failure_diagnosis.h"
#include "project/object_points_pipeline.h"
#include "project/orientation_pipeline.h"
#include "tests/project/loaded_project.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using Lines = std::vector<std::string>;

// The log lines that begin with `prefix`.
Lines Starting(const Lines& log, const std::string& prefix) {
    Lines found;
    for (const std::string& line : log)
        if (line.rfind(prefix, 0) == 0) found.push_back(line);
    return found;
}

const std::string kWarning = "Upozornění - ";

// What a load of `files` reports, read by the reader of their kind.
FileSetReport Read(const std::vector<std::string>& files, bool controlFiles) {
    MatPtr points, counts, ranges;
    FileSetReport read;
    if (controlFiles)
        LoadControlFiles(files, points, counts, ranges, &read);
    else
        LoadImageFiles(files, points, counts, ranges, &read);
    return read;
}
const std::string kFar = "Upozornění - Dál od těžiště vlícovacích bodů než 100násobek jejich rozptylu ";

std::string Id(long double number) { return std::to_string(std::llround(number)); }

// --- An adjustment stopped by its pass limit ---------------------------------

TEST(Warnings, PassLimitWithTheChangeTestUnmetOnly) {
    test::LoadedProject lp(test::SmallProject(61));
    ProjectState& s = lp.state;
    s.Settings.RobustEstimation = false;
    s.Settings.AdjustCameraConstant = false;
    ASSERT_TRUE(BundleCommand(s, lp.host));
    // A sound project: the command's own lines and nothing more.
    EXPECT_TRUE(Starting(lp.host.log, kWarning).empty());
    const std::int32_t converged = s.BundleIterations;
    ASSERT_GE(converged, 3);

    // The pass that meets the change test is the last one permitted: the
    // number of passes is MaxIterations + 1, yet the adjustment converged.
    lp.host.log.clear();
    s.Settings.MaxIterations = converged - 1;
    ASSERT_TRUE(BundleCommand(s, lp.host));
    EXPECT_EQ(s.BundleIterations, s.Settings.MaxIterations + 1);
    EXPECT_TRUE(Starting(lp.host.log, kWarning).empty());

    // One pass fewer: the limit ends the passes with m0 still changing.
    lp.host.log.clear();
    s.Settings.MaxIterations = converged - 2;
    ASSERT_TRUE(BundleCommand(s, lp.host));
    EXPECT_EQ(lp.host.log.back(), "Upozornění - Svazkové vyrovnání bez konstanty komory nekonvergovalo (skončilo "
                                  "na limitu " + std::to_string(converged - 1) + " iterací, tolerance nesplněna)");
    EXPECT_EQ(Starting(lp.host.log, kWarning).size(), 1u);

    // The same for the adjustment with the camera constant, after the
    // coordinates too.
    lp.host.log.clear();
    s.Settings.AdjustCameraConstant = true;
    s.Settings.MaxIterations = 0;
    ASSERT_TRUE(ObjectPointsCommand(s, lp.host));
    EXPECT_EQ(Starting(lp.host.log, "Upozornění - Svazkové vyrovnání"),
              (Lines{"Upozornění - Svazkové vyrovnání bez konstanty komory nekonvergovalo (skončilo na limitu 1 "
                     "iterací, tolerance nesplněna)",
                     "Upozornění - Svazkové vyrovnání s konstantou komory nekonvergovalo (skončilo na limitu 1 "
                     "iterací, tolerance nesplněna)"}));
}

// --- The real calibration sheet with control files paired with the wrong
//     image files -----------------------------------------------------------------

std::vector<std::string> RealFiles(const std::string& dir, std::initializer_list<const char*> names) {
    std::vector<std::string> files;
    for (const char* name : names) files.push_back(dir + "/" + name);
    return files;
}

TEST(Warnings, RealProjectsPairedRightAndWrong) {
    const std::string sxb = test::RealDataPath("prague2016_sxb_fixed/exact");
    const std::string cam = test::RealDataPath("prague2016_cam_fixed/exact");
    if (sxb.empty() || cam.empty()) GTEST_SKIP() << "real data not available";
    {
        // Without the camera constant: with it, f and the flying height of
        // these images looking straight down at flat control cannot be told
        // apart, and that adjustment is released (camera_constant_check_test).
        SCOPED_TRACE("aerial block as it is");
        ProjectState s;
        s.Settings.AdjustCameraConstant = false;
        test::RecordingHost host(&s);
        ASSERT_TRUE(LoadCameraFile(sxb + "/camera.txt", s));
        ASSERT_EQ(LoadControlPoints(test::ProjectFiles(sxb, "ctrl_"), s).status, ControlLoadResult::Status::Loaded);
        ASSERT_TRUE(LoadImagePoints(test::ProjectFiles(sxb, "img_"), s));
        host.items[UiItem::Orientace1] = host.items[UiItem::Snmkovsouadnice1] = true;
        host.camera = s.Camera;
        ASSERT_TRUE(ObjectPointsCommand(s, host));
        EXPECT_TRUE(Starting(host.log, kWarning).empty());
    }
    // The control of images 1 to 3 with the measurements of images 1, 2 and
    // 5 of the calibration sheet.
    ProjectState s;
    test::RecordingHost host(&s);
    ASSERT_TRUE(LoadCameraFile(cam + "/camera.txt", s));
    ASSERT_EQ(LoadControlPoints(RealFiles(cam, {"ctrl_01.txt", "ctrl_02.txt", "ctrl_03.txt"}), s).status,
              ControlLoadResult::Status::Loaded);
    ASSERT_TRUE(LoadImagePoints(RealFiles(cam, {"img_01.txt", "img_02.txt", "img_05.txt"}), s));
    host.items[UiItem::Orientace1] = host.items[UiItem::Snmkovsouadnice1] = true;
    host.camera = s.Camera;
    host.method = 0;
    // The adjustment with the camera constant ends on its pass limit with
    // camera constants that are no camera's: released, and "Souřadnice XYZ"
    // with that setting fails naming it.  (Without the camera constant the
    // mismatch goes unnoticed: every step converges.)
    EXPECT_FALSE(ObjectPointsCommand(s, host));
    EXPECT_EQ(s.BundleFailureF, AdjustmentFailure::CameraConstantUndetermined);
    ASSERT_GE(host.log.size(), 2u);
    EXPECT_EQ(host.log[host.log.size() - 2], AdjustmentFailedLogLine(true, AdjustmentFailure::CameraConstantUndetermined));
    EXPECT_EQ(host.log.back(), "Chyba - Souřadnice XYZ - výpočet nelze provést");
}

// --- Positions far from the control, residuals beyond the image, zero
//     standard deviations: on the results of a sound project with one point
//     and one centre moved away -------------------------------------------------

class ResultChecks : public ::testing::Test {
protected:
    void SetUp() override {
        ProjectState& s = lp_.state;
        ASSERT_TRUE(ObjectPointsCommand(s, lp_.host));
        ASSERT_TRUE(s.ObjectPoints && s.ObjectPoints->r > 5);
        // No false alarm on a sound project.
        ASSERT_TRUE(ResultWarnings(s, ComputingCommand::ObjectPoints).empty());
        ASSERT_TRUE(ResultWarnings(s, ComputingCommand::Bundle).empty());
    }
    test::LoadedProject lp_{test::SmallProject(62)};
};

TEST_F(ResultChecks, FarPointsAndCentresAreNamed) {
    ProjectState& s = lp_.state;
    // The control spans some 30 m: 10 km is beyond a hundred spreads, 100 m
    // is not.
    s.ObjectPoints->SetPrvek(3, 4, s.ObjectPoints->GetPrvek(3, 4) + 10000.0L);
    s.ObjectPoints->SetPrvek(4, 4, s.ObjectPoints->GetPrvek(4, 4) + 100.0L);
    const int first = static_cast<int>(std::lround(s.BundleImageIndexF->GetPrvek(2, 1)));
    s.BundleUnknownsF->SetPrvek(first, 1, -1.0e7L);
    const Lines far = Starting(ResultWarnings(s, ComputingCommand::ObjectPoints), kFar);
    EXPECT_EQ(far, (Lines{kFar + "(vyrovnání s konstantou komory): střed promítání snímku 2",
                          kFar + "(Souřadnice XYZ): bod " + Id(s.ObjectPoints->GetPrvek(3, 1))}));
}

TEST_F(ResultChecks, ResidualsBeyondTheImageNameThePointAndItsImages) {
    ProjectState& s = lp_.state;
    // Moved across the object (some 30 m at 16 m distance), the point's image
    // falls outside the measured area of every image that sees it; moved by
    // a centimetre it stays inside.
    s.ObjectPoints->SetPrvek(2, 2, s.ObjectPoints->GetPrvek(2, 2) + 40.0L);
    s.ObjectPoints->SetPrvek(5, 2, s.ObjectPoints->GetPrvek(5, 2) + 0.01L);
    const std::string number = Id(s.ObjectPoints->GetPrvek(2, 1));
    Lines expected;
    for (int col = 3; col <= s.TiePointOccurrences->s; col += 2) {
        const long long image = std::llround(s.TiePointOccurrences->GetPrvek(2, col));
        if (image > 0) expected.push_back("bod " + number + " na snímku " + std::to_string(image));
    }
    ASSERT_GE(expected.size(), 2u);
    std::string list = expected[0];
    for (std::size_t i = 1; i < expected.size(); ++i) list += (i + 1 == expected.size() ? " a " : ", ") + expected[i];
    EXPECT_EQ(Starting(ResultWarnings(s, ComputingCommand::ObjectPoints), "Upozornění - Opravy"),
              (Lines{"Upozornění - Opravy snímkových souřadnic větší než rozsah měření na snímku (Souřadnice XYZ): " +
                     list}));
}

TEST_F(ResultChecks, ZeroStandardDeviationsAreNamed) {
    ProjectState& s = lp_.state;
    s.ObjectPoints->SetPrvek(2, 7, 0.0L);   // My exactly zero
    s.ObjectPoints->SetPrvek(4, 8, 1e-9L);  // Mz a nanometre: no precision
    s.ObjectPoints->SetPrvek(5, 6, 1e-5L);  // Mx 10 micrometres: a real one
    EXPECT_EQ(ResultWarnings(s, ComputingCommand::ObjectPoints),
              (Lines{"Upozornění - (Téměř) nulové směrodatné odchylky souřadnic (Souřadnice XYZ): body " +
                     Id(s.ObjectPoints->GetPrvek(2, 1)) + " a " + Id(s.ObjectPoints->GetPrvek(4, 1))}));
}

// --- The same image twice: same file content, and no base ---------------------

TEST(Warnings, ImageLoadedTwiceHasNoBase) {
    test::TempDir dir;
    synth::Project project;
    std::string error;
    ASSERT_TRUE(synth::Generate(test::SmallProject(63), project, &error)) << error;
    ASSERT_TRUE(synth::WriteProject(project, dir.Path("p"), &error)) << error;
    // Image 3 is a copy of image 1.
    for (const char* kind : {"ctrl_", "img_"}) {
        std::filesystem::copy_file(dir.Path(std::string("p/") + kind + "01.txt"),
                                   dir.Path(std::string("p/") + kind + "03.txt"),
                                   std::filesystem::copy_options::overwrite_existing);
    }
    ProjectState s;
    test::RecordingHost host(&s);
    ASSERT_TRUE(LoadCameraFile(dir.Path("p/camera.txt"), s));
    const std::vector<std::string> control = test::ProjectFiles(dir.Path("p"), "ctrl_");
    const std::vector<std::string> images = test::ProjectFiles(dir.Path("p"), "img_");
    const ControlLoadResult controlLoad = LoadControlPoints(control, s);
    ASSERT_EQ(controlLoad.status, ControlLoadResult::Status::Loaded);
    FileSetReport imageRead;
    ASSERT_TRUE(LoadImagePoints(images, s, nullptr, &imageRead));
    EXPECT_EQ(LoadWarnings(controlLoad.read, true, s),
              (Lines{"Upozornění - Soubor " + control[2] + " má stejný obsah jako " + control[0]}));
    EXPECT_EQ(LoadWarnings(imageRead, false, s),
              (Lines{"Upozornění - Soubor " + images[2] + " má stejný obsah jako " + images[0]}));
    // The same name chosen twice.
    EXPECT_EQ(LoadWarnings(Read({images[0], images[1], images[1]}, false), false, s),
              (Lines{"Upozornění - Soubor je vybrán dvakrát: " + images[1]}));

    host.items[UiItem::Orientace1] = true;
    host.items[UiItem::Snmkovsouadnice1] = true;
    host.camera = s.Camera;
    s.Settings.AdjustCameraConstant = false;
    ASSERT_TRUE(ApproximateOrientationCommand(s, host));
    EXPECT_EQ(Starting(host.log, kWarning),
              (Lines{"Upozornění - Snímky 1 a 3 mají (téměř) stejný střed promítání, mezi nimi není základna "
                     "(přibližná orientace)"}));
    host.log.clear();
    ObjectPointsCommand(s, host);
    EXPECT_EQ(Starting(host.log, "Upozornění - Snímky"),
              (Lines{"Upozornění - Snímky 1 a 3 mají (téměř) stejný střed promítání, mezi nimi není základna "
                     "(vyrovnání bez konstanty komory)"}));
}

// --- Files of the wrong kind ---------------------------------------------------

TEST(Warnings, FilesOfTheOtherKind) {
    test::TempDir dir;
    const std::string control = dir.Path("ctrl.txt");
    const std::string image = dir.Path("img.txt");
    // Control points with five numbers on line 3; image coordinates in the
    // control point layout on line 2 (line 1 is as it should be).
    test::WriteFileBytes(control, "1 0 0 0 1 1\n2 5 0 0 2 1\n3 5 5 0 2\n4 0 5 0 1 2 poznámka\n");
    test::WriteFileBytes(image, "1 0.5 0.5 0\n\n2 10 0 0 0.25 0.75\n");
    const ProjectState s;
    EXPECT_EQ(LoadWarnings(Read({control}, true), true, s),
              (Lines{"Upozornění - Soubor vlícovacích bodů nemá šest čísel na řádku (číslo bodu, X, Y, Z, x, y): " +
                     control + " (řádek 3: 5 čísel)"}));
    EXPECT_EQ(LoadWarnings(Read({image}, false), false, s),
              (Lines{"Upozornění - Soubor snímkových souřadnic má šest čísel na řádku jako vlícovací body (jsou "
                     "zaměněny druhy souborů?): " + image + " (řádek 3)"}));
    // The control file in the image dialog (line 1 holds six numbers).
    EXPECT_EQ(LoadWarnings(Read({control}, false), false, s).size(), 1u);
    // Well-formed files: nothing to say.
    test::WriteFileBytes(image, "1 0.5 0.5 0\n2 0.25 0.75 0\n");
    test::WriteFileBytes(control, "1 0 0 0 1 1\n2 5 0 0 2 1\n\n");
    EXPECT_TRUE(LoadWarnings(Read({image}, false), false, s).empty());
    EXPECT_TRUE(LoadWarnings(Read({control}, true), true, s).empty());
}

// --- Collinear control ---------------------------------------------------------

TEST(Warnings, CollinearControlPointsOfAnImage) {
    test::TempDir dir;
    // Image 1: along a line, the fourth point 0.5 % of the length off it;
    // image 2: 2 % off, which is enough to fix the rotation about the line.
    const auto file = [&](const std::string& name, long double offset) {
        std::string text;
        for (int k = 0; k < 4; ++k)
            text += std::to_string(k + 1) + " " + std::to_string(10 * k) + " " + std::to_string(5 * k) + " " +
                    (k == 3 ? synth::FormatNumber(offset * 30) : std::string("0")) + " 0.1 0.2\n";
        test::WriteFileBytes(dir.Path(name), text);
        return dir.Path(name);
    };
    const std::vector<std::string> files = {file("a.txt", 0.005L), file("b.txt", 0.02L)};
    ProjectState s;
    const ControlLoadResult load = LoadControlPoints(files, s);
    ASSERT_EQ(load.status, ControlLoadResult::Status::Loaded);
    EXPECT_EQ(LoadWarnings(load.read, true, s), (Lines{"Upozornění - Vlícovací body leží (téměř) na přímce: snímek 1"}));
}

// --- Settings outside their range ----------------------------------------------

TEST(Warnings, SettingsOutsideTheirRangeAreNamed) {
    AdjustmentSettings set;
    EXPECT_TRUE(SettingsWarnings(set, ',').empty());
    set.MaxIterations = -1;
    set.Tolerance = 0.0L;
    set.SignificancePercent = 100;
    set.RobustWeightPercent = 101;
    set.FixedPointCount = 2;
    set.PointPercent = -50;
    const std::string p = "Upozornění - Nastavení „";
    EXPECT_EQ(SettingsWarnings(set, ','),
              (Lines{p + "Maximální počet iterací“ = -1 je mimo smysluplný rozsah (0 a více)",
                     p + "Tolerance výpočtu“ = 0 je mimo smysluplný rozsah (větší než 0 a menší než 100)",
                     p + "Hladina významnosti v procentech“ = 100 je mimo smysluplný rozsah (1 až 99)",
                     p + "Váha pro robustní odhad v procentech“ = 101 je mimo smysluplný rozsah (0 až 100)",
                     p + "Počet pevných bodů pro stabilizaci svazkového vyrovnání“ = 2 je mimo smysluplný "
                         "rozsah (3 a více)",
                     p + "Body vstupujících do svazkového vyrovnání v procentech“ = -50 je mimo smysluplný "
                         "rozsah (1 až 100)"}));
    set = AdjustmentSettings{};
    set.Tolerance = 100.5L;
    EXPECT_EQ(SettingsWarnings(set, ','),
              (Lines{p + "Tolerance výpočtu“ = 100,5 je mimo smysluplný rozsah (větší než 0 a menší než 100)"}));
    // A command prints them after its own lines.
    test::LoadedProject lp(test::TinyProject(64));
    lp.state.Settings.RobustWeightPercent = 150;
    ASSERT_TRUE(ApproximateOrientationCommand(lp.state, lp.host));
    EXPECT_EQ(lp.host.log.back(),
              p + "Váha pro robustní odhad v procentech“ = 150 je mimo smysluplný rozsah (0 až 100)");
}

// --- The cause of a failed command ---------------------------------------------

TEST(FailureCause, ComputingCommandsNameWhatTheyKnow) {
    {
        SCOPED_TRACE("f = 0");
        test::LoadedProject lp(test::TinyProject(65));
        lp.host.camera.f = 0.0L;
        EXPECT_FALSE(ApproximateOrientationCommand(lp.state, lp.host));
        EXPECT_EQ(lp.host.log, (Lines{"Chyba - Přibližná orientace - výpočet nelze provést",
                                      "Chyba - Konstanta komory f = 0"}));
    }
    {
        SCOPED_TRACE("a chosen control point twice on its image");
        test::LoadedProject lp(test::SmallProject(66));
        ProjectState& s = lp.state;
        const int first = static_cast<int>(std::lround(s.ControlPointRanges->GetPrvek(2, 1)));
        ASSERT_GE(s.ControlPointCounts->GetPrvek(2, 1), 5.0L);
        const long double number = s.ControlPoints->GetPrvek(first + 1, 1);
        s.ControlPoints->SetPrvek(first + 4, 1, number);
        EXPECT_FALSE(BundleCommand(s, lp.host));
        EXPECT_EQ(lp.host.log.back(), "Chyba - Číslo bodu " + Id(number) + " je na snímku 2 dvakrát (vlícovací body)");
    }
    {
        SCOPED_TRACE("more image coordinate files than control point files");
        test::LoadedProject lp(test::TinyProject(68));
        const std::vector<std::string> images = test::ProjectFiles(lp.dir.Path("p"), "img_");
        std::vector<std::string> more = images;
        more.push_back(images.back());
        ASSERT_TRUE(LoadImagePoints(more, lp.state));
        EXPECT_FALSE(BundleCommand(lp.state, lp.host));
        EXPECT_EQ(lp.host.log.back(), "Chyba - Počet souborů snímkových souřadnic (" + std::to_string(more.size()) +
                                          ") se liší od počtu souborů vlícovacích bodů (" +
                                          std::to_string(images.size()) + ")");
    }
    {
        SCOPED_TRACE("overflow in the distortion correction");
        test::LoadedProject lp(test::TinyProject(67));
        lp.state.ImagePoints->SetPrvek(3, 2, 1.0e3000L);
        EXPECT_FALSE(ObjectPointsCommand(lp.state, lp.host));
        EXPECT_EQ(lp.host.log.back(), "Chyba - Přetečení v kroku „Oprava distorze snímkových souřadnic“");
    }
}

TEST(FailureCause, LoadsNameTheFileTheLineOrTheLimit) {
    test::TempDir dir;
    const std::string good = dir.Path("a.txt");
    const std::string bad = dir.Path("b.txt");
    test::WriteFileBytes(good, "1 0.5 0.5 0\n2 0.25 0.75 0\n");
    // Row 2 meets "x" on line 2.
    test::WriteFileBytes(bad, "3 1 2 0\r\n4 1 x 0\r\n");
    ProjectState s;
    FileSetReport read;
    EXPECT_FALSE(LoadImagePoints({good, bad}, s, nullptr, &read));
    EXPECT_EQ(LoadFailureCause(read.error), "Chyba - Soubor " + bad + ", řádek 2: „x“ není číslo");
    EXPECT_EQ(LoadFailureCause(Read({good, dir.Path("chybi.txt")}, true).error),
              "Chyba - Soubor nenalezen: " + dir.Path("chybi.txt"));
    std::filesystem::create_directory(dir.Path("slozka.txt"));
    EXPECT_EQ(LoadFailureCause(Read({good, dir.Path("slozka.txt")}, false).error),
              "Chyba - Místo souboru je složka: " + dir.Path("slozka.txt"));
    // The camera file: the cause before the specified failure line.
    test::RecordingHost host;
    EXPECT_FALSE(LoadCameraCommand(dir.Path("camera.txt"), s, host));
    EXPECT_EQ(host.log, (std::vector<std::string>{"Chyba - Soubor nenalezen: " + dir.Path("camera.txt"),
                                                  "Chyba - Parametry kamery nenačteny"}));
    test::WriteFileBytes(dir.Path("camera.txt"), "24\n18,1\n11.9\n0\n0\n0\n0\n0\n");
    host.log.clear();
    EXPECT_FALSE(LoadCameraCommand(dir.Path("camera.txt"), s, host));
    EXPECT_EQ(host.log, (std::vector<std::string>{"Chyba - Soubor " + dir.Path("camera.txt") +
                                                      ", řádek 2: „18,1“ není číslo",
                                                  "Chyba - Parametry kamery nenačteny"}));
    std::string many;
    for (int i = 0; i < 40000; ++i) many += "1 0 0 0\n";
    test::WriteFileBytes(bad, many);
    EXPECT_EQ(LoadFailureCause(Read({good, bad, bad}, false).error),
              "Chyba - Soubory mají celkem 80002 řádků, načíst lze nejvýše 65 535");
    EXPECT_EQ(LoadFailureCause(Read({good}, false).error), "");
}

}  // namespace
}  // namespace pelvanor

namespace pelvanor {
namespace {

// The image coordinate files that load but change the result without a
// word: one without a point, one whose line has three numbers (the reader
// takes four per row), one with a single point.
TEST(LoadWarnings, ImageFilesWithoutPointsShortLinesAndTooFewPoints) {
    test::TempDir dir;
    const std::string good = dir.Path("img_01.txt");
    const std::string shortLine = dir.Path("img_02.txt");
    const std::string empty = dir.Path("img_03.txt");
    test::WriteFileBytes(good, "1 0.5 0.5 0\n2 0.25 0.75 0\n3 0.5 0.25 0\n");
    test::WriteFileBytes(shortLine, "1 2 3\n");
    test::WriteFileBytes(empty, "\n");
    ProjectState s;
    FileSetReport read;
    ASSERT_TRUE(LoadImagePoints({good, shortLine, empty}, s, nullptr, &read));
    EXPECT_EQ(LoadWarnings(read, false, s),
              (std::vector<std::string>{
                  "Upozornění - Soubor snímkových souřadnic neobsahuje žádný bod: " + empty + " (snímek 3)",
                  "Upozornění - Řádek snímkových souřadnic má méně než čtyři čísla (číslo bodu, x, y a čtvrté číslo), "
                  "čísla dalších řádků se posunou do jiných sloupců: " + shortLine + " (řádek 1: 3 čísla)",
                  "Upozornění - Méně než tři body ve snímkových souřadnicích, orientaci snímku (šest neznámých) z "
                  "nich nelze určit a ve svazkovém vyrovnání ji drží jen vlícovací body: snímek 2 (1 bod, " +
                      shortLine + ")"}));
}

}  // namespace
}  // namespace pelvanor
