#include "input/control_accuracy_file.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using test::TempDir;
using test::WriteFileBytes;

TEST(ReadControlAccuracyFile, SigmasCheckPointsCommentsAndLineEnds) {
    TempDir dir;
    const std::string path = dir.Path("presnost.txt");
    // A byte-order mark, a comment, a blank line, tabs, CR LF and a lone CR,
    // a last line without its end.
    WriteFileBytes(path, "\xEF\xBB\xBF# cislo sX sY sZ\r\n\r\n403\t0.05 0.05 0.1\r\n410 kontrolni\r317 0.02 0.02 0");
    std::vector<ControlAccuracyLine> lines;
    ControlAccuracyError error;
    ASSERT_TRUE(ReadControlAccuracyFile(path, lines, error)) << error.reason;
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].number, 403);
    EXPECT_EQ(lines[0].sigma[0], 0.05L);
    EXPECT_EQ(lines[0].sigma[2], 0.1L);
    EXPECT_FALSE(lines[0].check);
    EXPECT_EQ(lines[0].line, 3);
    EXPECT_EQ(lines[1].number, 410);
    EXPECT_TRUE(lines[1].check);
    EXPECT_EQ(lines[1].line, 4);
    EXPECT_EQ(lines[2].number, 317);
    EXPECT_EQ(lines[2].sigma[2], 0.0L) << "0: no weight in Z";
    EXPECT_EQ(lines[2].line, 5);
}

TEST(ReadControlAccuracyFile, ABadLineRefusesTheWholeFileAndNamesTheLine) {
    TempDir dir;
    const std::string path = dir.Path("presnost.txt");
    struct Case {
        const char* text;
        int line;
    };
    const Case cases[] = {
        {"1 0.02 0.02 0.04\n2 0,02 0.02 0.04\n", 2},   // decimal comma
        {"1 0.02 0.02\n", 1},                          // three fields
        {"1 0.02 0.02 0.04 5\n", 1},                   // five fields
        {"1 -0.02 0.02 0.04\n", 1},                    // negative sigma
        {"1 kontrolní\n", 1},                          // not the keyword
        {"1.5 0.02 0.02 0.04\n", 1},                   // not a whole number
        {"0 kontrolni\n", 1},                          // not positive
        {"\n\n7 0.1 0.1 0.1\n# 7 again\n7 kontrolni\n", 5},  // named twice
        {"1 nan 0.02 0.04\n", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        WriteFileBytes(path, c.text);
        std::vector<ControlAccuracyLine> lines{ControlAccuracyLine{}};
        ControlAccuracyError error;
        EXPECT_FALSE(ReadControlAccuracyFile(path, lines, error));
        EXPECT_TRUE(lines.empty()) << "nothing loaded";
        EXPECT_EQ(error.line, c.line);
        EXPECT_FALSE(error.reason.empty());
    }
    std::vector<ControlAccuracyLine> lines;
    ControlAccuracyError error;
    EXPECT_FALSE(ReadControlAccuracyFile(dir.Path("missing.txt"), lines, error));
    EXPECT_EQ(error.line, 0);
    EXPECT_FALSE(ReadControlAccuracyFile(dir.Path(""), lines, error)) << "a folder";
}

}  // namespace
}  // namespace pelvanor
