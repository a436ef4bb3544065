#include "fuzz/fuzz_files.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace pelvanor::fuzz {
namespace {

constexpr std::size_t kMaxScratchFiles = 16;
constexpr std::size_t kPaddingBase = std::size_t{1} << 16;
std::size_t g_used = 0;

void RemoveScratch() {
    for (std::size_t k = 0; k < g_used; ++k) ::unlink(ScratchPath(k).c_str());
}

}  // namespace

std::string ScratchPath(std::size_t k) {
    return "/dev/shm/pelvanor-fuzz-" + std::to_string(::getpid()) + "-" + std::to_string(k) + ".txt";
}

void Fail(const char* what) {
    std::fprintf(stderr, "pelvanor fuzz check failed: %s\n", what);
    std::abort();
}

std::string WriteScratch(std::size_t k, std::string_view bytes) {
    if (k >= kMaxScratchFiles) Fail("too many scratch files");
    if (g_used == 0) std::atexit(RemoveScratch);
    if (k + 1 > g_used) g_used = k + 1;
    const std::string path = ScratchPath(k);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) Fail("cannot create a scratch file in /dev/shm");
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) Fail("cannot write a scratch file");
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return path;
}

std::vector<std::string> WriteFileSet(const std::uint8_t* data, std::size_t size, std::size_t max_files) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> files;
    while (true) {
        std::string_view part = rest;
        const std::size_t sep = rest.find('\x1e');
        const bool last = sep == std::string_view::npos || files.size() + 1 == max_files;
        if (!last) {
            part = rest.substr(0, sep);
            rest.remove_prefix(sep + 1);
        }
        if (part == "\x1f") {
            files.push_back("/dev/shm/pelvanor-fuzz-missing/none.txt");
        } else if (part.size() >= 2 && part[0] == '\x1d') {
            // Padding in front of the rest, so that its text meets the end
            // of the reader's 64 KiB buffer (and, with line ends, the row
            // limit of a load).
            const auto b = static_cast<unsigned char>(part[1]);
            std::string padded(kPaddingBase - (b & 0x7fu), (b & 0x80u) ? '\n' : ' ');
            padded.append(part.substr(2));
            files.push_back(WriteScratch(files.size(), padded));
        } else {
            files.push_back(WriteScratch(files.size(), part));
        }
        if (last) break;
    }
    return files;
}

}  // namespace pelvanor::fuzz
