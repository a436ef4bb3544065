#include "input/control_file.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using test::TempDir;
using test::WriteFileBytes;

TEST(ReadControlFile, SixNumbersPerRow) {
    TempDir dir;
    const std::string path = dir.Path("c.txt");
    WriteFileBytes(path, "12 100.5 200.25 -3 1.5 -2.5 comment\n13 1 2 3 4 5\n");
    MatPtr m;
    ASSERT_TRUE(ReadControlFile(path, m, 2));
    ASSERT_EQ(m->s, 6);
    EXPECT_EQ(m->prvky, (std::vector<long double>{12, 100.5L, 200.25L, -3, 1.5L, -2.5L, 13, 1, 2, 3, 4, 5}));
    WriteFileBytes(path, "12 100.5 200.25 -3 1.5 -2,5\n13 1 2 3 4 5\n");
    EXPECT_FALSE(ReadControlFile(path, m, 2));
    EXPECT_EQ(m->prvky, std::vector<long double>(12, 0.0L));
}

}  // namespace
}  // namespace pelvanor
