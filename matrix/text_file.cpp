#include "matrix/text_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "matrix/file_error.h"

namespace pelvanor {
namespace {

// Unicode code points of the CP1250 bytes 0x80..0xFF; 0 marks the five
// bytes the code page leaves unassigned (0x81, 0x83, 0x88, 0x90, 0x98).
constexpr std::uint16_t kCp1250High[128] = {
    0x20AC, 0x0000, 0x201A, 0x0000, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x0000, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,  // 88
    0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0000, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,  // 98
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,  // A0
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,  // A8
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,  // B8
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,  // C0
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,  // C8
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,  // D0
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,  // D8
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,  // E0
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,  // E8
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,  // F0
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,  // F8
};

char EncodeCodePoint(std::uint32_t cp) {
    if (cp < 0x80) return static_cast<char>(cp);
    for (int i = 0; i < 128; ++i)
        if (kCp1250High[i] != 0 && kCp1250High[i] == cp) return static_cast<char>(0x80 + i);
    return '?';
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 sequence at `i`; false for a malformed one (overlong,
// surrogate, beyond U+10FFFF, truncated), in which case one byte is
// consumed.
bool NextCodePoint(std::string_view s, std::size_t& i, std::uint32_t& cp) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    int extra = 0;
    std::uint32_t min = 0;
    if (b0 < 0x80) {
        cp = b0;
        ++i;
        return true;
    } else if ((b0 & 0xE0) == 0xC0) {
        extra = 1;
        cp = b0 & 0x1Fu;
        min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2;
        cp = b0 & 0x0Fu;
        min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3;
        cp = b0 & 0x07u;
        min = 0x10000;
    } else {
        ++i;
        return false;
    }
    if (i + static_cast<std::size_t>(extra) >= s.size()) {  // truncated
        ++i;
        return false;
    }
    for (int k = 1; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return false;
        }
        cp = (cp << 6) | (b & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return false;
    }
    i += static_cast<std::size_t>(extra) + 1;
    return true;
}

std::string ParentFolder(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Closes the descriptor and removes the temporary file unless released:
// a failed save leaves neither a stray temporary file nor a cut-off target.
class TemporaryFile {
public:
    TemporaryFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~TemporaryFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }
    // Closes the descriptor; the errno of a failed close, or 0.
    int Close() {
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc == 0 ? 0 : errno;
    }
    void Release() { path_.clear(); }

private:
    int fd_;
    std::string path_;
};

// 0 when every byte reached the file (a write interrupted by a signal is
// resumed), otherwise the errno of the failed write.
int WriteAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return EIO;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// The whole content of a regular file, or false with errno set.
bool ReadWholeFile(const std::string& path, std::string& content) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            errno = err;
            return false;
        }
        if (n == 0) break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

mode_t CurrentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

[[noreturn]] void Fail(const std::string& path, int err) { throw FileError(WriteFailureText(path, err)); }

}  // namespace

std::string EncodeCp1250(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        std::uint32_t cp = 0;
        out += NextCodePoint(utf8, i, cp) ? EncodeCodePoint(cp) : '?';
    }
    return out;
}

std::string DecodeCp1250(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else {
            const std::uint16_t cp = kCp1250High[b - 0x80];
            AppendUtf8(out, cp != 0 ? cp : 0xFFFDu);
        }
    }
    return out;
}

std::string WriteFailureText(const std::string& path, int err) {
    switch (err) {
        case ENOENT:
        case ENOTDIR:
            if (!IsFolder(ParentFolder(path)))
                return "Soubor " + path + " nelze vytvořit, složka " + ParentFolder(path) + " neexistuje.";
            return "Soubor " + path + " neexistuje.";
        case EISDIR:
            return "Soubor " + path + " nelze zapsat, je to složka.";
        case EACCES:
        case EPERM:
            return "Do souboru " + path + " nelze zapisovat, přístup byl odepřen.";
        case EROFS:
            return "Do souboru " + path + " nelze zapisovat, disk je jen pro čtení.";
        case ENOSPC:
        case EDQUOT:
            return "Do souboru " + path + " nelze zapisovat, na disku není dost místa.";
        case EFBIG:
            return "Do souboru " + path + " nelze zapisovat, soubor by byl příliš velký.";
        case ENXIO:
        case ESPIPE:
            return "Soubor " + path + " nelze otevřít pro zápis.";
        default:
            return "Do souboru " + path + " nelze zapisovat.";
    }
}

void WriteTextFile(const std::string& path, std::string_view bytes, bool append) {
    // The target as it is now.  A link is followed so that the file it names
    // is replaced, not the link.
    std::string target = path;
    struct stat st {};
    bool exists = ::lstat(path.c_str(), &st) == 0;
    if (exists && S_ISLNK(st.st_mode)) {
        char* resolved = ::realpath(path.c_str(), nullptr);
        if (resolved) {
            target = resolved;
            std::free(resolved);
            exists = ::stat(target.c_str(), &st) == 0;
        } else {
            exists = false;  // a dangling link is created through
        }
    }
    if (exists && S_ISDIR(st.st_mode)) Fail(path, EISDIR);
    // A named pipe, a device or a socket: opening a pipe for writing would
    // wait for a reader and freeze the program.
    if (exists && !S_ISREG(st.st_mode)) Fail(path, ENXIO);
    if (!IsFolder(ParentFolder(target))) Fail(path, ENOENT);
    if (append && !exists) Fail(path, ENOENT);
    if (exists && ::access(target.c_str(), W_OK) != 0) Fail(path, errno);

    std::string content;
    if (append && !ReadWholeFile(target, content)) Fail(path, errno);
    content.append(bytes.data(), bytes.size());

    // Written beside the target and renamed over it only when complete, so
    // that a full disk or a failing device leaves the previous file as it was.
    std::string temporary = ParentFolder(target) + "/.pelvanor-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        // A folder the user may not create files in, holding a file the user
        // may write: write that file in place, as an editor would.
        if ((errno == EACCES || errno == EPERM) && exists) {
            const int direct = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
            if (direct < 0) Fail(path, errno);
            TemporaryFile file(direct, std::string());
            if (const int err = WriteAll(direct, content)) Fail(path, err);
            if (const int err = file.Close()) Fail(path, err);
            return;
        }
        Fail(path, errno);
    }
    TemporaryFile file(fd, temporary);
    const mode_t mode = exists ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());
    if (::fchmod(fd, mode) != 0) Fail(path, errno);
    if (const int err = WriteAll(fd, content)) Fail(path, err);
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) Fail(path, errno);
    if (const int err = file.Close()) Fail(path, err);
    if (::rename(temporary.c_str(), target.c_str()) != 0) Fail(path, errno);
    file.Release();
}

std::string TextLinesBytes(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) {
        bytes += EncodeCp1250(line);
        bytes += "\r\n";
    }
    return bytes;
}

void WriteTextLines(const std::string& path, const std::vector<std::string>& lines, bool append) {
    WriteTextFile(path, TextLinesBytes(lines), append);
}

}  // namespace pelvanor
