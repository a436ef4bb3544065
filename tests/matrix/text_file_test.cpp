#include "matrix/text_file.h"

#include <filesystem>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <csignal>
#include <sys/resource.h>

#include <gtest/gtest.h>

#include "matrix/file_error.h"
#include "matrix/matice.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

// Czech letters and a few punctuation marks with their CP1250 bytes, as
// listed in the code page's published table.
const std::vector<std::pair<std::string, unsigned char>> kKnownBytes = {
    {"á", 0xE1}, {"č", 0xE8}, {"ď", 0xEF}, {"é", 0xE9}, {"ě", 0xEC}, {"í", 0xED}, {"ň", 0xF2},
    {"ó", 0xF3}, {"ř", 0xF8}, {"š", 0x9A}, {"ť", 0x9D}, {"ú", 0xFA}, {"ů", 0xF9}, {"ý", 0xFD},
    {"ž", 0x9E}, {"Á", 0xC1}, {"Č", 0xC8}, {"Ď", 0xCF}, {"É", 0xC9}, {"Ě", 0xCC}, {"Í", 0xCD},
    {"Ň", 0xD2}, {"Ó", 0xD3}, {"Ř", 0xD8}, {"Š", 0x8A}, {"Ť", 0x8D}, {"Ú", 0xDA}, {"Ů", 0xD9},
    {"Ý", 0xDD}, {"Ž", 0x8E}, {"€", 0x80}, {"„", 0x84}, {"“", 0x93}, {"–", 0x96}, {"°", 0xB0},
    {"ˇ", 0xA1}, {"\u00A0", 0xA0}, {"˙", 0xFF}, {"ł", 0xB3}, {"ő", 0xF5},
};

TEST(Cp1250, KnownLettersBothWays) {
    for (const auto& [utf8, byte] : kKnownBytes) {
        EXPECT_EQ(EncodeCp1250(utf8), std::string(1, static_cast<char>(byte))) << utf8;
        EXPECT_EQ(DecodeCp1250(std::string(1, static_cast<char>(byte))), utf8) << utf8;
    }
    EXPECT_EQ(EncodeCp1250("Výpočet svazkového vyrovnání"),
              "V\xFDpo\xE8" "et svazkov\xE9ho vyrovn\xE1n\xED");
    EXPECT_EQ(DecodeCp1250("P\xF8\xEDli\x9A \x9Elu\x9Dou\xE8k\xFD k\xF9\xF2"), "Příliš žluťoučký kůň");
}

TEST(Cp1250, EveryAssignedByteRoundTripsAndTheRestIsMarked) {
    std::set<std::string> decoded;
    int assigned = 0;
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const std::string utf8 = DecodeCp1250(byte);
        if (utf8 == "\xEF\xBF\xBD") {  // U+FFFD
            EXPECT_TRUE(b == 0x81 || b == 0x83 || b == 0x88 || b == 0x90 || b == 0x98) << b;
            EXPECT_EQ(EncodeCp1250(utf8), "?");
            continue;
        }
        if (b >= 0x80) ++assigned;
        decoded.insert(utf8);
        EXPECT_EQ(EncodeCp1250(utf8), byte) << b;
    }
    EXPECT_EQ(assigned, 123);
    EXPECT_EQ(decoded.size(), 251u);
}

TEST(Cp1250, UnmappableAndBrokenInputBecomesQuestionMarks) {
    EXPECT_EQ(EncodeCp1250("ø"), "?");            // U+00F8, not in the code page
    EXPECT_EQ(EncodeCp1250("日本"), "??");
    EXPECT_EQ(EncodeCp1250("a😀b"), "a?b");        // four-byte sequence
    EXPECT_EQ(EncodeCp1250("\xC3"), "?");           // truncated at the end
    EXPECT_EQ(EncodeCp1250("\xC3("), "?(");         // bad continuation
    EXPECT_EQ(EncodeCp1250("\xC0\xAF"), "??");      // overlong "/"
    EXPECT_EQ(EncodeCp1250("\xED\xA0\x80"), "???"); // surrogate
    EXPECT_EQ(EncodeCp1250("\xF4\x90\x80\x80"), "????");  // beyond U+10FFFF
    EXPECT_EQ(EncodeCp1250("\xFF" "A"), "?A");
    EXPECT_EQ(EncodeCp1250(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(WriteTextLines, ReplaceAndAppendByteExact) {
    test::TempDir dir;
    const std::string path = dir.Path("protokol.txt");
    test::WriteFileBytes(path, std::string(100, 'x'));
    WriteTextLines(path, {"Souřadnice XYZ", " ", ""}, false);
    EXPECT_EQ(test::ReadFileBytes(path), "Sou\xF8" "adnice XYZ\r\n \r\n\r\n");
    WriteTextLines(path, {"Snímek 1"}, true);
    EXPECT_EQ(test::ReadFileBytes(path), "Sou\xF8" "adnice XYZ\r\n \r\n\r\nSn\xEDmek 1\r\n");
    WriteTextLines(path, {}, false);
    EXPECT_EQ(test::ReadFileBytes(path), "");
    const std::string fresh = dir.Path("nový.txt");
    WriteTextLines(fresh, {"a", "b"}, false);
    EXPECT_EQ(test::ReadFileBytes(fresh), "a\r\nb\r\n");
}

std::string FileErrorText(const std::string& path, bool append) {
    try {
        WriteTextLines(path, {"x"}, append);
    } catch (const FileError& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(WriteTextLines, FailuresThrowWithCzechText) {
    test::TempDir dir;
    const std::string inMissing = dir.Path("chybí/protokol.txt");
    EXPECT_EQ(FileErrorText(inMissing, false), "Soubor " + inMissing + " nelze vytvořit, složka " +
                                                   dir.Path("chybí") + " neexistuje.");
    EXPECT_FALSE(std::filesystem::exists(dir.Path("chybí")));

    const std::string missing = dir.Path("není.txt");
    EXPECT_EQ(FileErrorText(missing, true), "Soubor " + missing + " neexistuje.");
    EXPECT_FALSE(std::filesystem::exists(missing));

    const std::string folder = dir.Path("složka");
    std::filesystem::create_directory(folder);
    EXPECT_EQ(FileErrorText(folder, false), "Soubor " + folder + " nelze zapsat, je to složka.");
    EXPECT_EQ(FileErrorText(folder, true), "Soubor " + folder + " nelze zapsat, je to složka.");
}

TEST(WriteTextLines, NamedPipeIsRefusedWithoutBlocking) {
    test::TempDir dir;
    const std::string fifo = dir.Path("roura");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(FileErrorText(fifo, false), "Soubor " + fifo + " nelze otevřít pro zápis.");
    EXPECT_EQ(FileErrorText(fifo, true), "Soubor " + fifo + " nelze otevřít pro zápis.");
}

TEST(WriteTextLines, NoPermission) {
    test::TempDir dir;
    if (::geteuid() == 0) GTEST_SKIP() << "permissions are not enforced for root";
    const std::string readOnly = dir.Path("jen_pro_cteni.txt");
    test::WriteFileBytes(readOnly, "old");
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read);
    EXPECT_EQ(FileErrorText(readOnly, false), "Do souboru " + readOnly + " nelze zapisovat, přístup byl odepřen.");
    EXPECT_EQ(FileErrorText(readOnly, true), "Do souboru " + readOnly + " nelze zapisovat, přístup byl odepřen.");
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_all);
    EXPECT_EQ(test::ReadFileBytes(readOnly), "old");
}

// A save that fails half-way (here: the process may not write a file beyond
// 64 KiB, as a full disk would stop it) leaves the previous file whole and
// no temporary file behind, for a replace and for an append alike.
TEST(WriteTextFile, FailedSaveKeepsThePreviousFile) {
    test::TempDir dir;
    const std::string path = dir.Path("kamera.txt");
    test::WriteFileBytes(path, "100.5\r\n");
    const std::string large(200000, 'x');

    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 65536;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string replaceError, appendError;
    try {
        WriteTextFile(path, large, false);
    } catch (const FileError& e) {
        replaceError = e.what();
    }
    try {
        WriteTextFile(path, large, true);
    } catch (const FileError& e) {
        appendError = e.what();
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(replaceError, "Do souboru " + path + " nelze zapisovat, soubor by byl příliš velký.");
    EXPECT_EQ(appendError, replaceError);
    EXPECT_EQ(test::ReadFileBytes(path), "100.5\r\n");
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Dir())) ++entries;
    EXPECT_EQ(entries, 1u);
}

// The replaced file keeps its permissions, and a link keeps pointing at the
// file it named, which receives the new content.
TEST(WriteTextFile, ReplaceKeepsModeAndFollowsLinks) {
    test::TempDir dir;
    const std::string path = dir.Path("protokol.txt");
    test::WriteFileBytes(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    WriteTextFile(path, "new", false);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    const std::string link = dir.Path("odkaz.txt");
    ASSERT_EQ(::symlink(path.c_str(), link.c_str()), 0);
    WriteTextFile(link, "+", true);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(test::ReadFileBytes(path), "new+");
}

// Matrix dumps and protocols fail with the same message for the same cause.
TEST(WriteTextFile, MatrixDumpsShareTheMessages) {
    test::TempDir dir;
    const std::string inMissing = dir.Path("chybí/body.txt");
    Matice m(1, 2);
    std::string dumpError;
    try {
        m.VypisDoSouboruPocet(false, inMissing, m);
    } catch (const FileError& e) {
        dumpError = e.what();
    }
    EXPECT_EQ(dumpError, FileErrorText(inMissing, false));
    EXPECT_EQ(WriteFailureText(inMissing, EROFS), "Do souboru " + inMissing + " nelze zapisovat, disk je jen pro čtení.");
}

}  // namespace
}  // namespace pelvanor
