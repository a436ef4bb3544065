#include "input/camera_file.h"
#include "input/number_parse.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using test::TempDir;
using test::WriteFileBytes;

std::array<long double, 8> Values(const CameraParameters& c) {
    return {c.f, c.x0, c.y0, c.k1, c.k2, c.k3, c.p1, c.p2};
}

CameraParameters Marked() {
    CameraParameters c;
    c.f = c.x0 = c.y0 = c.k1 = c.k2 = c.k3 = c.p1 = c.p2 = -7.0L;
    return c;
}

TEST(ReadCameraFile, EightLinesInFileOrder) {
    TempDir dir;
    const std::string path = dir.Path("kamera.txt");
    WriteFileBytes(path, "100.5\r\n0.01\r\n-0.02\r\n1e-5\r\n0\r\n0\r\n0\r\n0\r\n");
    CameraParameters c = Marked();
    ASSERT_TRUE(ReadCameraFile(path, c));
    EXPECT_EQ(Values(c), (std::array<long double, 8>{100.5L, 0.01L, -0.02L, 1e-5L, 0, 0, 0, 0}));

    // Unix and old Mac line ends, blanks, tabs and empty lines before a
    // number, text after it, a last line without a line end.
    WriteFileBytes(path, "  100.5 mm\n\n\t0.01\r-0.02 x y\n\n\n1E-5\r\n2\n3\n4\n5 ");
    c = Marked();
    ASSERT_TRUE(ReadCameraFile(path, c));
    EXPECT_EQ(Values(c), (std::array<long double, 8>{100.5L, 0.01L, -0.02L, 1e-5L, 2, 3, 4, 5}));

    // Lines after the eighth value are ignored, whatever they hold.
    WriteFileBytes(path, "1\n2\n3\n4\n5\n6\n7\n8\nnan\n\x01\x02garbage\n");
    ASSERT_TRUE(ReadCameraFile(path, c));
    EXPECT_EQ(Values(c), (std::array<long double, 8>{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(ReadCameraFile, MissingValuesReadAsZero) {
    TempDir dir;
    const std::string path = dir.Path("kamera.txt");
    // All eight on one line: the first is f, the rest of the line is skipped.
    WriteFileBytes(path, "100.5 0.01 -0.02 1e-5 1 2 3 4\r\n");
    CameraParameters c = Marked();
    ASSERT_TRUE(ReadCameraFile(path, c));
    EXPECT_EQ(Values(c), (std::array<long double, 8>{100.5L, 0, 0, 0, 0, 0, 0, 0}));

    WriteFileBytes(path, "50\n1\n \n\t\n");
    c = Marked();
    ASSERT_TRUE(ReadCameraFile(path, c));
    EXPECT_EQ(Values(c), (std::array<long double, 8>{50, 1, 0, 0, 0, 0, 0, 0}));

    WriteFileBytes(path, "");
    c = Marked();
    ASSERT_TRUE(ReadCameraFile(path, c));
    EXPECT_EQ(Values(c), (std::array<long double, 8>{}));
}

TEST(ReadCameraFile, FailuresKeepTheValuesReadBefore) {
    TempDir dir;
    const std::string path = dir.Path("kamera.txt");
    struct Case {
        std::string content;
        int storedBefore;  // values stored before the failure
    };
    const std::string tooLong = "1." + std::string(63, '0');
    const Case cases[] = {
        {"100,5\n1\n2\n3\n4\n5\n6\n7\n", 0},
        {"100.5\n0.01\nnan\n", 2},
        {"1\n2\n3\ninf\n", 3},
        {"1\n2\n3\n4\n1e5000\n", 4},
        {"1\n" + tooLong + "\n", 1},
        {"1\n2\n" + std::string(10000, '7') + "x\n", 2},
        {std::string("\x7f" "ELF\x02\x01\x01\0\0\0", 10), 0},
        {"0x1A\n", 0},
        {"abc\n", 0},
        {"1\n2\n3\n4\n5\n6\n7\n8,5\n", 7},
    };
    for (const Case& k : cases) {
        WriteFileBytes(path, k.content);
        CameraParameters c = Marked();
        EXPECT_FALSE(ReadCameraFile(path, c)) << k.content.substr(0, 40);
        const auto v = Values(c);
        for (int i = k.storedBefore; i < 8; ++i) EXPECT_EQ(v[static_cast<std::size_t>(i)], -7.0L) << i;
        for (int i = 0; i < k.storedBefore; ++i) EXPECT_NE(v[static_cast<std::size_t>(i)], -7.0L) << i;
    }
    // A number of exactly 64 characters is fine; the rest of a long line is
    // ignored.
    WriteFileBytes(path, "1." + std::string(62, '0') + " " + std::string(10000, 'x') + "\n2\n");
    CameraParameters c = Marked();
    EXPECT_TRUE(ReadCameraFile(path, c));
    EXPECT_EQ(c.f, 1.0L);
    EXPECT_EQ(c.x0, 2.0L);
}

TEST(SaveCamera, FieldChecks) {
    CameraFieldTexts t = {"100,5", "0", "0", "0,003", "0", "0", "0", "0"};
    EXPECT_TRUE(CameraTextsSavable(t, ','));
    EXPECT_FALSE(CameraTextsSavable(t, '.'));
    t[3] = "0.003";
    EXPECT_FALSE(CameraTextsSavable(t, ','));
    EXPECT_TRUE(CameraTextsSavable({"100.5", "0.003", " 1e-5 ", "0", "0", "0", "0", "-0"}, '.'));
    for (const char* bad : {"", "  ", "abc", "1 000", "nan", "inf", "1e5000", "0x10"})
        EXPECT_FALSE(CameraTextsSavable({"1", "1", "1", "1", "1", "1", "1", bad}, ',')) << bad;
    // A longer number would be written but could not be read back.
    const std::string len64 = "0," + std::string(61, '0') + "1";
    EXPECT_TRUE(CameraTextsSavable({len64, "0", "0", "0", "0", "0", "0", "0"}, ','));
    EXPECT_FALSE(CameraTextsSavable({len64 + "1", "0", "0", "0", "0", "0", "0", "0"}, ','));
}

TEST(SaveCamera, WritesTheTextsAsTypedAndReadsBack) {
    TempDir dir;
    const std::string path = dir.Path("kamera.txt");
    test::WriteFileBytes(path, std::string(500, 'z'));
    const CameraFieldTexts typed = {"100,5", "0,01", "-0,02", "0,003", " 1E-5", "0", "2,5e-7 ", "-0"};
    ASSERT_TRUE(CameraTextsSavable(typed, ','));
    ASSERT_TRUE(WriteCameraFile(path, typed, ','));
    EXPECT_EQ(test::ReadFileBytes(path),
              "100.5\r\n0.01\r\n-0.02\r\n0.003\r\n 1E-5\r\n0\r\n2.5e-7 \r\n-0\r\n");
    CameraParameters c;
    ASSERT_TRUE(ReadCameraFile(path, c));
    for (std::size_t i = 0; i < 8; ++i) {
        long double field = 0.0L;
        ASSERT_TRUE(ParseFieldNumber(typed[i], ',', field));
        EXPECT_EQ(Values(c)[i], field) << i;
    }

    // In a locale with "." the texts are written unchanged.
    const CameraFieldTexts point = {"100.5", "1", "2", "0.003", "0", "0", "0", "0"};
    ASSERT_TRUE(WriteCameraFile(path, point, '.'));
    EXPECT_EQ(test::ReadFileBytes(path), "100.5\r\n1\r\n2\r\n0.003\r\n0\r\n0\r\n0\r\n0\r\n");

    EXPECT_FALSE(WriteCameraFile(dir.Path("neni/kamera.txt"), point, '.'));
    std::filesystem::create_directory(dir.Path("slozka"));
    EXPECT_FALSE(WriteCameraFile(dir.Path("slozka"), point, '.'));
}

}  // namespace
}  // namespace pelvanor
