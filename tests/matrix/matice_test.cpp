#include "matrix/matice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sys/stat.h>

#include "matrix/file_error.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

TEST(Matice, CreatesZerosAndResizeKeepsOverlap) {
    auto m = NewMatrix(3, 2);
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 2; ++j) EXPECT_EQ(m->GetPrvek(i, j), 0.0L);
    m->SetPrvek(1, 1, 1.5L);
    m->SetPrvek(2, 1, 2.5L);
    m->SetPrvek(3, 1, 3.5L);
    m->SetPrvek(3, 2, 9.0L);
    m->Velikost(4, 1);
    EXPECT_EQ(m->r, 4);
    EXPECT_EQ(m->s, 1);
    EXPECT_EQ(m->GetPrvek(1, 1), 1.5L);
    EXPECT_EQ(m->GetPrvek(2, 1), 2.5L);
    EXPECT_EQ(m->GetPrvek(3, 1), 3.5L);
    EXPECT_EQ(m->GetPrvek(4, 1), 0.0L);
    m->Velikost(4, 3);  // the dropped column does not come back
    EXPECT_EQ(m->GetPrvek(3, 2), 0.0L);
}

TEST(Matice, CheckedAccessRefusesOutsideIndices) {
    auto m = NewMatrix(2, 3);
    long double h = 7.0L;
    EXPECT_FALSE(m->CtiPrvek(0, 1, h));
    EXPECT_FALSE(m->CtiPrvek(3, 1, h));
    EXPECT_FALSE(m->CtiPrvek(1, 4, h));
    EXPECT_EQ(h, 7.0L);
    EXPECT_FALSE(m->ZapisPrvek(1, 4, 5.0L));
    EXPECT_FALSE(m->ZapisPrvek(0, 1, 5.0L));
    for (long double v : m->prvky) EXPECT_EQ(v, 0.0L);
    EXPECT_TRUE(m->ZapisPrvek(2, 3, 5.0L));
    EXPECT_TRUE(m->CtiPrvek(2, 3, h));
    EXPECT_EQ(h, 5.0L);

    bool ok = true;
    ReadElement(m.get(), 3, 1, ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(ReadElement(m.get(), 2, 3, ok), 5.0L);
    EXPECT_TRUE(ok);
    std::uint16_t r = 9, s = 9;
    EXPECT_FALSE(GetSize(nullptr, r, s));
    EXPECT_EQ(r, 9);
    EXPECT_TRUE(GetSize(m.get(), r, s));
    EXPECT_EQ(r, 2);
    EXPECT_EQ(s, 3);
    EXPECT_FALSE(WriteElement(nullptr, 1, 1, 1.0L));
}

TEST(Matice, DumpRowFormat) {
    auto m = test::MakeMatrix({{1001.0L, 12.5L, -3.25L}});
    EXPECT_EQ(m->DumpText(), "           1001        12.50000        -3.25000 \r\n");
    auto n = test::MakeMatrix({{17.4L, 0.000004L}});
    EXPECT_EQ(n->DumpText(), "             17         0.00000 \r\n");
    auto wide = test::MakeMatrix({{1.0L, 123456789012.5L}});
    EXPECT_EQ(wide->DumpText(), "              1 123456789012.50000 \r\n");
}

TEST(Matice, DumpWidensForVeryLargeValues) {
    // A huge coordinate keeps all its digits instead of turning into 0.
    const std::string big = DumpNumber(std::ldexp(-1.0L, 700), 5);  // -5.26e210, an integer
    ASSERT_EQ(big.size(), 1u + 211u + 1u + 5u);
    EXPECT_EQ(big.substr(0, 5), "-5260");
    EXPECT_EQ(big.substr(big.size() - 6), ".00000");
    const std::string id = DumpNumber(std::ldexp(1.0L, 700), 0);
    EXPECT_EQ(id.size(), 211u);
    EXPECT_EQ(id.substr(id.size() - 4), "1376");
    const std::string largest = DumpNumber(std::numeric_limits<long double>::max(), 5);
    EXPECT_EQ(largest.size(), 4933u + 6u);
    EXPECT_EQ(largest.substr(0, 4), "1189");
}

TEST(Matice, DumpWithImageHeaders) {
    test::TempDir dir;
    auto m = test::MakeMatrix({{1, 1}, {2, 2}, {3, 3}, {4, 4}});
    auto pocet = test::MakeMatrix({{1}, {4}, {4}});
    const std::string path = dir.Path("a.txt");
    m->VypisDoSouboruPocet(false, path, *pocet);
    const std::string row = "        1.00000 \r\n";
    auto line = [&](int id) { return std::string(14, ' ') + std::to_string(id) + " " +
                                     std::string(8, ' ') + std::to_string(id) + ".00000 \r\n"; };
    EXPECT_EQ(test::ReadFileBytes(path), "Snimek 1\r\n" + line(1) + line(2) + line(3) +
                                             "Snimek 2\r\nSnimek 3\r\n" + line(4));
    (void)row;
    // Empty blocks after the last row get no header.
    auto small = test::MakeMatrix({{5, 1}});
    auto ranges = test::MakeMatrix({{1}, {2}});
    small->VypisDoSouboruPocet(false, path, *ranges);
    EXPECT_EQ(test::ReadFileBytes(path), "Snimek 1\r\n" + std::string(14, ' ') + "5 " +
                                             std::string(8, ' ') + "1.00000 \r\n");
}

TEST(Matice, DumpToANamedPipeFailsWithoutBlocking) {
    test::TempDir dir;
    const std::string fifo = dir.Path("roura");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto m = test::MakeMatrix({{1, 2}});
    auto pocet = test::MakeMatrix({{1}});
    EXPECT_THROW(m->VypisDoSouboruPocet(false, fifo, *pocet), FileError);
    EXPECT_THROW(m->VypisDoSouboruPocet(true, fifo, *pocet), FileError);
    EXPECT_THROW(m->VypisDoSouboru(fifo), FileError);
}

TEST(Matice, DumpAppendsAndCreates) {
    test::TempDir dir;
    const std::string path = dir.Path("b.txt");
    auto empty = NewMatrix(0, 3);
    auto pocet = test::MakeMatrix({{1}});
    EXPECT_THROW(empty->VypisDoSouboruPocet(true, path, *pocet), FileError);
    EXPECT_THROW(empty->VypisDoSouboru(path), FileError);
    empty->VypisDoSouboruPocet(false, path, *pocet);
    EXPECT_EQ(test::ReadFileBytes(path), "");
    test::WriteFileBytes(path, "HEAD\r\n");
    empty->VypisDoSouboru(path);
    EXPECT_EQ(test::ReadFileBytes(path), "HEAD\r\n");
    auto one = test::MakeMatrix({{2, -0.5L}});
    one->VypisDoSouboru(path);
    EXPECT_EQ(test::ReadFileBytes(path), "HEAD\r\n              2        -0.50000 \r\n");
    EXPECT_THROW(one->VypisDoSouboru(dir.Path("missing/x.txt")), FileError);
}

// Element access beyond the size stops a checked build at once, naming the
// violated bound, instead of reading or writing a neighbour's memory.
TEST(MaticeDeathTest, UncheckedAccessIsAssertedInCheckedBuilds) {
#if defined(PELVANOR_CHECKED)
    Matice m(2, 3);
    EXPECT_DEATH(m.SetPrvek(3, 1, 1.0L), "invariant violated: i >= 1");
    EXPECT_DEATH((void)m.GetPrvek(1, 4), "invariant violated");
    EXPECT_DEATH((void)m.Row(0), "invariant violated");
#else
    GTEST_SKIP() << "bound assertions are compiled out in this build";
#endif
}

}  // namespace
}  // namespace pelvanor
