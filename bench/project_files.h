#pragma once
// The input files of a project folder for the benchmarks: every
// "<prefix>*.txt", in byte order (the generator names them img_01.txt, ...,
// so byte order is the order of the images).

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace pelvanor::bench {

inline std::vector<std::string> Files(const std::filesystem::path& folder, const std::string& prefix) {
    std::vector<std::string> out;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".txt")
            out.push_back(entry.path().string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace pelvanor::bench
