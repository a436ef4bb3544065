#include "input/control_accuracy_file.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string_view>

#include "input/number_parse.h"

namespace pelvanor {

namespace {

// The fields of a line: runs of characters between blanks and tabs.
std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        if (i > start) out.push_back(line.substr(start, i - start));
    }
    return out;
}

bool Fail(ControlAccuracyError& error, int line, std::string reason) {
    error.line = line;
    error.reason = std::move(reason);
    return false;
}

// A point number: a number of the input files holding a positive whole value.
bool ParsePointNumber(std::string_view text, std::int64_t& number) {
    long double value = 0.0L;
    if (!ParseFileNumber(text, value)) return false;
    if (!(value >= 1.0L && value <= 9.0e18L) || std::floor(value) != value) return false;
    number = static_cast<std::int64_t>(value);
    return true;
}

bool ParseLines(const std::string& text, std::vector<ControlAccuracyLine>& lines, ControlAccuracyError& error) {
    std::set<std::int64_t> seen;
    std::size_t pos = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;
    int lineNumber = 0;
    while (pos < text.size()) {
        std::size_t end = pos;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
        const std::string_view line(text.data() + pos, end - pos);
        // LF, CR LF or a lone CR ends the line.
        if (end == text.size()) pos = end;
        else if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') pos = end + 2;
        else pos = end + 1;
        ++lineNumber;

        const std::vector<std::string_view> fields = Fields(line);
        if (fields.empty() || fields.front().front() == '#') continue;
        ControlAccuracyLine entry;
        entry.line = lineNumber;
        if (!ParsePointNumber(fields[0], entry.number))
            return Fail(error, lineNumber, "číslo bodu není kladné celé číslo: " + std::string(fields[0]));
        if (fields.size() == 2 && fields[1] == "kontrolni") {
            entry.check = true;
        } else if (fields.size() == 4) {
            for (int q = 0; q < 3; ++q) {
                long double sigma = 0.0L;
                if (!ParseFileNumber(fields[1 + q], sigma) || !(sigma >= 0.0L) || !std::isfinite(sigma))
                    return Fail(error, lineNumber,
                                "směrodatná odchylka není nezáporné číslo: " + std::string(fields[1 + q]));
                entry.sigma[q] = sigma;
            }
        } else {
            return Fail(error, lineNumber, "očekáváno „číslo sX sY sZ“ nebo „číslo kontrolni“");
        }
        if (!seen.insert(entry.number).second)
            return Fail(error, lineNumber, "bod " + std::string(fields[0]) + " je v souboru podruhé");
        lines.push_back(entry);
    }
    return true;
}

}  // namespace

bool ReadControlAccuracyFile(const std::string& path, std::vector<ControlAccuracyLine>& lines,
                             ControlAccuracyError& error) {
    lines.clear();
    error = {};
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return Fail(error, 0, "soubor nelze číst");
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) return Fail(error, 0, "soubor nelze číst");
    if (size > kMaxControlAccuracyFileBytes) return Fail(error, 0, "soubor je příliš velký");
    std::ifstream in(path, std::ios::binary);
    if (!in) return Fail(error, 0, "soubor nelze číst");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return Fail(error, 0, "soubor nelze číst");
    if (!ParseLines(text, lines, error)) {
        lines.clear();
        return false;
    }
    return true;
}

}  // namespace pelvanor
