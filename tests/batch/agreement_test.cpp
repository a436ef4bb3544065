// The window and the batch command agree: both sample projects run through
// the scripted window (pelvanor-drive) and through pelvanor-batch in a comma
// and a point locale, and every file each of them writes is compared byte
// for byte.

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/batch/batch_support.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using test::FolderFiles;
using test::SampleProject;

// The user's session: load the project, choose its method, "Souřadnice XYZ",
// then save every result the menu offers under the batch command's names.
std::string WindowScript(const SampleProject& p, const std::string& out) {
    std::string s = "open \"" + p.dir + "/camera.txt\"\nclick Soubor > Načíst kameru\n";
    s += "open" + test::Quoted(test::FilesStartingWith(p.dir, "ctrl_")) + "\nclick Soubor > Načíst orientaci\n";
    s += "open" + test::Quoted(test::FilesStartingWith(p.dir, "img_")) + "\nclick Soubor > Načíst snímkové souřadnice\n";
    s += std::string("choose ComboBox1 ") + (p.method == "plane" ? "0" : "1") + "\n";
    s += "click Výpočty > Souřadnice XYZ\n";
    const auto save = [&](const char* name, const char* click) {
        s += "save \"" + out + "/" + name + "\"\nclick " + click + "\n";
    };
    save("opravene_snimkove_souradnice.txt", "Výsledky > Oprava distorze > Snímkové souřadnice");
    save("opravene_vlicovaci_body.txt", "Výsledky > Oprava distorze > Orientace");
    s += "click Výsledky > Přibližné řešení vnější orientace\n";
    save("priblizna_orientace.txt", "Ulož protokol");
    s += "click Výsledky > Svazkové vyrovnání\n";
    save("svazkove_vyrovnani.txt", "Ulož protokol");
    save("souradnice_xyz_ftest.txt", "Výsledky > Souřadnice XYZ");
    save("souradnice_xyz.txt", "Výsledky > Protokoly > Souřadnice");
    save("kompletni_protokol.txt", "Výsledky > Protokoly > Kompletní");
    save("kontrolni_body.txt", "Výsledky > Protokoly > Kontrolní body");
    return s;
}

struct Case {
    SampleProject project;
    const char* lang;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.project.name << " in " << c.lang; }

class WindowAndBatch : public ::testing::TestWithParam<Case> {};

TEST_P(WindowAndBatch, WriteTheSameFiles) {
    if (test::DrivePath().empty()) GTEST_SKIP() << "the window is not built (PELVANOR_BUILD_APP=OFF)";
    const Case& c = GetParam();
    test::TempDir dir;
    const std::string window = dir.Path("window");
    const std::string batch = dir.Path("batch");
    std::filesystem::create_directory(window);
    const std::string script = dir.Path("session.drv");
    test::WriteFileBytes(script, WindowScript(c.project, window));

    // Both at once: the two programs share nothing but the input files.
    const auto runs = test::RunAtOnce({{test::DrivePath(), {script}},
                                       {test::BatchPath(), {c.project.dir, "--out", batch, "--method", c.project.method}}},
                                      c.lang);
    ASSERT_EQ(runs[0].status, 0) << runs[0].err;
    ASSERT_EQ(runs[1].status, 0) << runs[1].err;

    const auto fromWindow = FolderFiles(window);
    const auto fromBatch = FolderFiles(batch);
    ASSERT_EQ(fromWindow.size(), 8u);
    std::vector<std::string> names;
    for (const auto& [name, bytes] : fromBatch) names.push_back(name);
    std::vector<std::string> expected;
    for (const auto& [name, bytes] : fromWindow) expected.push_back(name);
    EXPECT_EQ(names, expected);
    for (const auto& [name, bytes] : fromWindow) {
        const auto it = fromBatch.find(name);
        if (it == fromBatch.end()) continue;
        EXPECT_TRUE(it->second == bytes) << name << " differs (" << c.project.name << ", " << c.lang << ")";
    }
    // The protocols carry the locale's separator.
    const char decimal = std::string(c.lang).rfind("cs_", 0) == 0 ? ',' : '.';
    EXPECT_NE(fromBatch.at("svazkove_vyrovnani.txt").find(std::string("0") + decimal + "0"), std::string::npos);
}

std::vector<Case> Cases() {
    std::vector<Case> cases;
    for (const SampleProject& p : test::SampleProjects())
        for (const char* lang : {"cs_CZ.UTF-8", "en_US.UTF-8"}) cases.push_back({p, lang});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Samples, WindowAndBatch, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<Case>& instance) {
                             return instance.param.project.name + (instance.param.lang[0] == 'c' ? "_comma" : "_point");
                         });

}  // namespace
}  // namespace pelvanor
