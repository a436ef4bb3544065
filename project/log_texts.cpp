#include "project/log_texts.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "protocol/number_format.h"

namespace pelvanor::detail {

namespace {

// Items named in one line; the rest are counted.
constexpr std::size_t kListed = 5;

}  // namespace

std::string NumberText(long double value) {
    if (std::isfinite(value) && std::fabs(value) < 9.0e18L) return std::to_string(std::llroundl(value));
    return FormatGeneral(value, '.');
}

std::string ListText(const std::vector<std::string>& items) {
    std::string text;
    const std::size_t shown = items.size() <= kListed + 1 ? items.size() : kListed;
    for (std::size_t i = 0; i < shown; ++i) {
        if (i > 0) text += (i + 1 == shown && items.size() == shown) ? " a " : ", ";
        text += items[i];
    }
    if (items.size() > shown) text += " a dalších " + std::to_string(items.size() - shown);
    return text;
}

long long IndexValue(long double value) {
    if (!std::isfinite(value) || std::fabs(value) > 1.0e9L) return 0;
    return std::llroundl(value);
}

bool ReadBytes(const std::string& path, std::string& bytes) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace pelvanor::detail
