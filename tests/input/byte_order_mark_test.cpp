// Input files saved as "UTF-8 with BOM": the mark before the first number is
// skipped by all three readers, and only there.

#include <string>

#include <gtest/gtest.h>

#include "input/camera_file.h"
#include "input/control_file.h"
#include "input/image_file.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using test::TempDir;
using test::WriteFileBytes;

const std::string kBom = "\xEF\xBB\xBF";

TEST(ByteOrderMark, CameraFileReadsAsWithoutIt) {
    TempDir dir;
    const std::string path = dir.Path("camera.txt");
    WriteFileBytes(path, kBom + "100.5\r\n0.01\r\n-0.02\r\n1e-5\r\n0\r\n0\r\n0\r\n0\r\n");
    CameraParameters c;
    ASSERT_TRUE(ReadCameraFile(path, c));
    EXPECT_EQ(c.f, 100.5L);
    EXPECT_EQ(c.x0, 0.01L);
    EXPECT_EQ(c.k1, 1e-5L);
}

TEST(ByteOrderMark, ControlAndImageFilesCountAndReadTheSameLines) {
    TempDir dir;
    const std::string body = "1 10.5 20.25 0 1.5 -2.5\n2 11 21 0 2 -3\n3 12 22 0 3 -4\n4 13 23 1 4 -5\n";
    WriteFileBytes(dir.Path("plain.txt"), body);
    WriteFileBytes(dir.Path("bom.txt"), kBom + body);
    long long plain_lines = 0, bom_lines = 0;
    ASSERT_TRUE(CountLines(dir.Path("plain.txt"), plain_lines));
    ASSERT_TRUE(CountLines(dir.Path("bom.txt"), bom_lines));
    EXPECT_EQ(bom_lines, plain_lines);

    MatPtr points, counts, ranges;
    ASSERT_TRUE(LoadControlFiles({dir.Path("bom.txt"), dir.Path("plain.txt")}, points, counts, ranges));
    ASSERT_EQ(points->r, 8);
    for (int j = 1; j <= 6; ++j) EXPECT_EQ(points->GetPrvek(1, j), points->GetPrvek(5, j)) << j;
    EXPECT_EQ(points->GetPrvek(1, 1), 1.0L);

    WriteFileBytes(dir.Path("img.txt"), kBom + "1 0.5 0.5 0\r\n2 0.25 0.75 0\r\n");
    MatPtr image_points;
    ASSERT_TRUE(LoadImageFiles({dir.Path("img.txt")}, image_points, counts, ranges));
    EXPECT_EQ(image_points->GetPrvek(1, 1), 1.0L);
    EXPECT_EQ(image_points->GetPrvek(2, 3), 0.75L);
}

TEST(ByteOrderMark, OnlyAtTheStartOfTheFile) {
    TempDir dir;
    const std::string path = dir.Path("camera.txt");
    // A mark anywhere else is still text that is not a number.
    WriteFileBytes(path, "100.5\n" + kBom + "0.01\n0\n0\n0\n0\n0\n0\n");
    CameraParameters c;
    EXPECT_FALSE(ReadCameraFile(path, c));
    // A second mark right after the first is no longer a mark.
    WriteFileBytes(path, kBom + kBom + "100.5\n0.01\n0\n0\n0\n0\n0\n0\n");
    EXPECT_FALSE(ReadCameraFile(path, c));
}

}  // namespace
}  // namespace pelvanor
