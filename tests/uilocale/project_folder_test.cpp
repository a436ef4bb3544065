// The pairing of a project folder's ctrl_*.txt and img_*.txt, which both
// front ends load: every cause of refusal once, and the pairs of a folder
// that pairs.

#include <filesystem>
#include <string>

#include <QString>
#include <QStringList>

#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/support/test_util.h"
#include "uilocale/project_folder.h"

namespace pelvanor {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

class ProjectFolder : public ::testing::Test {
protected:
    // A folder with ctrl_NN.txt and img_NN.txt for the given tags.
    std::string Folder(const std::string& name, std::initializer_list<const char*> tags) {
        const std::string folder = dir_.Path(name);
        std::filesystem::create_directories(folder);
        for (const char* tag : tags) {
            test::WriteFileBytes(folder + "/ctrl_" + tag + ".txt", "1 0 0 0 1 1\n");
            test::WriteFileBytes(folder + "/img_" + tag + ".txt", "1 1 1 0\n");
        }
        return folder;
    }
    test::TempDir dir_;
};

TEST_F(ProjectFolder, PairsByTheNameAfterThePrefix) {
    const std::string folder = Folder("ok", {"01", "02", "10"});
    test::WriteFileBytes(folder + "/camera.txt", "24\n");
    test::WriteFileBytes(folder + "/poznamky.txt", "nic\n");
    const ProjectFolderPairs pairs = PairProjectFolder(Q(folder));
    EXPECT_TRUE(pairs.refusal.isEmpty()) << pairs.refusal.join(QStringLiteral("\n")).toStdString();
    EXPECT_EQ(pairs.control, (QStringList{Q(folder + "/ctrl_01.txt"), Q(folder + "/ctrl_02.txt"),
                                          Q(folder + "/ctrl_10.txt")}));
    EXPECT_EQ(pairs.images,
              (QStringList{Q(folder + "/img_01.txt"), Q(folder + "/img_02.txt"), Q(folder + "/img_10.txt")}));
    // An orientation-only project: control files and no image file at all.
    const std::string orientation = dir_.Path("orientation");
    std::filesystem::create_directories(orientation);
    test::WriteFileBytes(orientation + "/ctrl_01.txt", "1 0 0 0 1 1\n");
    const ProjectFolderPairs alone = PairProjectFolder(Q(orientation));
    EXPECT_TRUE(alone.refusal.isEmpty());
    EXPECT_EQ(alone.control, QStringList{Q(orientation + "/ctrl_01.txt")});
    EXPECT_TRUE(alone.images.isEmpty());
}

TEST_F(ProjectFolder, RefusesAFolderWhoseFilesDoNotPair) {
    const struct {
        const char* name;
        void (*spoil)(const std::string& folder);
        std::string refusal;
    } cases[] = {
        {"dangling",
         [](const std::string& f) {
             std::filesystem::remove(f + "/img_02.txt");
             std::filesystem::create_symlink(f + "/nowhere.txt", f + "/img_02.txt");
         },
         "Soubor projektu nelze číst: img_02.txt"},
        {"case",
         [](const std::string& f) {
             std::filesystem::rename(f + "/img_03.txt", f + "/IMG_03.txt");
             std::filesystem::rename(f + "/ctrl_01.txt", f + "/Ctrl_01.txt");
         },
         "Jména souborů se od ctrl_*.txt a img_*.txt liší velikostí písmen: Ctrl_01.txt a IMG_03.txt"},
        {"no_image", [](const std::string& f) { std::filesystem::remove(f + "/img_02.txt"); },
         "Soubor vlícovacích bodů nemá svůj soubor snímkových souřadnic: ctrl_02.txt (chybí img_02.txt)"},
        {"no_control",
         [](const std::string& f) {
             std::filesystem::remove(f + "/ctrl_01.txt");
             std::filesystem::remove(f + "/ctrl_03.txt");
         },
         "Soubory snímkových souřadnic nemají své soubory vlícovacích bodů: img_01.txt (chybí ctrl_01.txt) a "
         "img_03.txt (chybí ctrl_03.txt)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = Folder(c.name, {"01", "02", "03"});
        c.spoil(folder);
        const ProjectFolderPairs pairs = PairProjectFolder(Q(folder));
        EXPECT_EQ(pairs.refusal, QStringList{Q(c.refusal)});
        EXPECT_TRUE(pairs.control.isEmpty());
        EXPECT_TRUE(pairs.images.isEmpty());
    }
}

TEST_F(ProjectFolder, AnUnreadableFolderSaysSo) {
    const std::string folder = Folder("locked", {"01"});
    std::filesystem::permissions(folder, std::filesystem::perms::none);
    const bool root = ::geteuid() == 0;
    const ProjectFolderPairs pairs = PairProjectFolder(Q(folder));
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
    if (root) GTEST_SKIP() << "root reads every folder";
    EXPECT_EQ(pairs.refusal, QStringList{Q("Složku projektu nelze číst: " + folder)});
}

}  // namespace
}  // namespace pelvanor
