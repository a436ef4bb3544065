#include "project/distortion_commands.h"

#include <gtest/gtest.h>

#include "matrix/file_error.h"
#include "tests/project/fake_host.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using test::FakeHost;
using test::MakeMatrix;
using test::ReadFileBytes;
using test::TempDir;

struct Fixture {
    ProjectState state;
    FakeHost host{state};
    Fixture() {
        state.ImagePoints = MakeMatrix({{1, 3, 2, 0}, {2, 1, 1, 0}, {1, 3, 2, 0}});
        state.ImagePointCounts = MakeMatrix({{2}, {1}});
        state.ImagePointRanges = MakeMatrix({{1, 2}, {3, 3}});
        state.ControlPoints =
            MakeMatrix({{7, 10, 20, 30, 3, 2}, {8, 11, 21, 31, 1, 1}, {7, 10, 20, 30, 3, 2}});
        state.ControlPointCounts = MakeMatrix({{2}, {1}});
        state.ControlPointRanges = MakeMatrix({{1, 2}, {3, 3}});
        host.camera.x0 = 1;
        host.camera.y0 = 2;
        host.camera.k1 = 0.001L;
    }
};

TEST(DistortionCommands, CorrectImagePoints) {
    Fixture fx;
    ASSERT_TRUE(CorrectImagePointsCommand(fx.state, fx.host));
    EXPECT_EQ(fx.host.log,
              std::vector<std::string>{"Oprava o distorze provedena - snímkové souřadnice"});
    EXPECT_TRUE(fx.host.Enabled(UiItem::Opravensnmkovsouadnice1));
    EXPECT_TRUE(fx.host.Enabled(UiItem::Snmkovsouadnice2));
    EXPECT_FALSE(fx.host.Enabled(UiItem::Orientace2));
    ASSERT_TRUE(fx.state.ImagePointsCorrected);
    EXPECT_EQ(fx.state.ImagePointsCorrected->s, 3);
    EXPECT_TRUE(test::IsNearRel(fx.state.ImagePointsCorrected->GetPrvek(1, 2), 3.008L, 1e-18L));
    EXPECT_EQ(fx.state.ImagePointsCorrected->GetPrvek(1, 3), -2);

    // Nothing loaded: the failure line, the item disabled, the table gone.
    fx.host.log.clear();
    fx.state.ImagePoints.reset();
    EXPECT_FALSE(CorrectImagePointsCommand(fx.state, fx.host));
    EXPECT_EQ(fx.host.log, std::vector<std::string>{
                               "Chyba - Oprava o distorze nelze provést - snímkové souřadnice"});
    EXPECT_FALSE(fx.host.Enabled(UiItem::Snmkovsouadnice2));
    EXPECT_TRUE(fx.host.Enabled(UiItem::Opravensnmkovsouadnice1));
    EXPECT_FALSE(fx.state.ImagePointsCorrected);
}

TEST(DistortionCommands, CorrectControlPoints) {
    Fixture fx;
    ASSERT_TRUE(CorrectControlPointsCommand(fx.state, fx.host));
    EXPECT_EQ(fx.host.log, std::vector<std::string>{"Oprava o distorze provedena - orientace"});
    EXPECT_TRUE(fx.host.Enabled(UiItem::Opravensnmkovsouadnice1));
    EXPECT_TRUE(fx.host.Enabled(UiItem::Orientace2));
    EXPECT_FALSE(fx.host.Enabled(UiItem::Snmkovsouadnice2));
    ASSERT_TRUE(fx.state.ControlPointsCorrected);
    EXPECT_EQ(fx.state.ControlPointsCorrected->GetPrvek(1, 4), 30);
    EXPECT_TRUE(test::IsNearRel(fx.state.ControlPointsCorrected->GetPrvek(1, 5), 3.008L, 1e-18L));

    fx.host.log.clear();
    fx.state.ControlPoints.reset();
    EXPECT_FALSE(CorrectControlPointsCommand(fx.state, fx.host));
    EXPECT_EQ(fx.host.log,
              std::vector<std::string>{"Chyba - Oprava o distorze nelze provést - orientace"});
    EXPECT_FALSE(fx.host.Enabled(UiItem::Orientace2));
    EXPECT_FALSE(fx.state.ControlPointsCorrected);
}

TEST(DistortionCommands, BadCameraFieldChangesNothing) {
    Fixture fx;
    ASSERT_TRUE(CorrectImagePointsCommand(fx.state, fx.host));
    const Matice* before = fx.state.ImagePointsCorrected.get();
    const auto items = fx.host.items;
    fx.host.log.clear();
    fx.host.fieldsValid = false;
    EXPECT_FALSE(CorrectImagePointsCommand(fx.state, fx.host));
    EXPECT_FALSE(CorrectControlPointsCommand(fx.state, fx.host));
    EXPECT_EQ(fx.host.log, (std::vector<std::string>{"Chyba - Špatné hodnoty parametrů kamery",
                                                     "Chyba - Špatné hodnoty parametrů kamery"}));
    EXPECT_EQ(fx.host.items, items);
    EXPECT_EQ(fx.state.ImagePointsCorrected.get(), before);
    EXPECT_FALSE(fx.state.ControlPointsCorrected);
}

TEST(DistortionCommands, SaveCorrectedTables) {
    Fixture fx;
    ASSERT_TRUE(CorrectImagePointsCommand(fx.state, fx.host));
    ASSERT_TRUE(CorrectControlPointsCommand(fx.state, fx.host));
    TempDir dir;
    fx.host.log.clear();

    const std::string images = dir.Path("obrazy.txt");
    test::WriteFileBytes(images, "old content that must disappear\r\n");
    auto lines = SaveCorrectedImagePoints(fx.state, fx.host, images);
    EXPECT_EQ(ReadFileBytes(images),
              fx.state.ImagePointsCorrected->DumpTextWithHeaders(*fx.state.ImagePointRanges));
    EXPECT_NE(ReadFileBytes(images).find("Snimek 2"), std::string::npos);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Oprava snímkových souřadnic o distorzi objektivu - program Pelvanor");
    EXPECT_EQ(lines[1], std::string(67, '*'));
    EXPECT_EQ(lines[2], "Počet vypočtených bodů: 3");

    const std::string control = dir.Path("vlicovaci.txt");
    lines = SaveCorrectedControlPoints(fx.state, fx.host, control);
    EXPECT_EQ(ReadFileBytes(control),
              fx.state.ControlPointsCorrected->DumpTextWithHeaders(*fx.state.ControlPointRanges));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Oprava vlícovacích bodů o distorzi objektivu - program Pelvanor");
    EXPECT_EQ(lines[1], std::string(63, '*'));
    EXPECT_EQ(lines[2], "Počet vypočtených bodů: 3");
    EXPECT_EQ(fx.host.log, (std::vector<std::string>{"Uloženy snímkové souřadnice: " + images,
                                                     "Uloženy vlícovací body: " + control}));

    // An unwritable file: the error reaches the window, no log line.
    fx.host.log.clear();
    EXPECT_THROW(SaveCorrectedImagePoints(fx.state, fx.host, dir.Path("missing/x.txt")), FileError);
    EXPECT_TRUE(fx.host.log.empty());

    // Nothing corrected: nothing written, the panel stays.
    ProjectState empty;
    FakeHost host(empty);
    EXPECT_TRUE(SaveCorrectedControlPoints(empty, host, dir.Path("none.txt")).empty());
    EXPECT_FALSE(std::filesystem::exists(dir.Path("none.txt")));
}

}  // namespace
}  // namespace pelvanor
