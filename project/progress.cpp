#include "project/progress.h"

#include <charconv>
#include <cmath>

#include "matrix/fp_guard.h"
#include "project/command_host.h"

namespace pelvanor {

namespace {

// Characters of a UTF-8 text: every byte that does not continue a sequence.
std::size_t Characters(const std::string& text) {
    std::size_t n = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0U) != 0x80U) ++n;
    return n;
}

// The first `columns` characters of a UTF-8 text.
std::string FirstCharacters(const std::string& text, std::size_t columns) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0U) == 0x80U) continue;
        if (seen == columns) return text.substr(0, i);
        ++seen;
    }
    return text;
}

// 6 significant digits in the form of printf's "%g" ("0.0123457",
// "1.5e-07"), whatever the C library's locale, with `decimal` for ".".
// A value halfway between two 6-digit numbers goes away from zero and a
// negative zero reads "0", as the window's line has always shown them.
std::string SixDigits(long double value, char decimal) {
    const double v = static_cast<double>(value);
    if (v == 0.0) return "0";
    // 40 digits decide the rounding: a double that is not exactly halfway
    // lies much further from the half than 1e-40 of its value.
    char exact[64];
    const auto written = std::to_chars(exact, exact + sizeof exact, std::fabs(v), std::chars_format::scientific, 40);
    const std::string scientific(exact, written.ptr);  // "d.ddd…de±XX"
    std::string digits = scientific.substr(0, 1) + scientific.substr(2, 6);  // 7 digits
    int exponent = std::stoi(scientific.substr(scientific.find('e') + 1));
    const bool up = digits[6] >= '5';
    digits.resize(6);
    if (up) {
        int i = 5;
        for (; i >= 0 && digits[i] == '9'; --i) digits[i] = '0';
        if (i >= 0) {
            ++digits[i];
        } else {
            digits.insert(digits.begin(), '1');
            digits.resize(6);
            ++exponent;
        }
    }
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    std::string text = v < 0.0 ? "-" : "";
    if (exponent < -4 || exponent >= 6) {
        text += digits.substr(0, 1);
        if (digits.size() > 1) text += decimal + digits.substr(1);
        text += exponent < 0 ? "e-" : "e+";
        const std::string magnitude = std::to_string(exponent < 0 ? -exponent : exponent);
        if (magnitude.size() < 2) text += "0";
        return text + magnitude;
    }
    if (exponent < 0) return text + "0" + decimal + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    const std::size_t whole = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= whole) return text + digits + std::string(whole - digits.size(), '0');
    return text + digits.substr(0, whole) + decimal + digits.substr(whole);
}

std::string Joined(const ProgressParts& parts, bool heading, bool adjustment) {
    std::string line = heading ? "Výpočet: " + parts.stage : parts.stage;
    if (adjustment && !parts.adjustment.empty()) line += " " + parts.adjustment;
    if (!parts.pass.empty()) line += ", " + parts.pass;
    if (!parts.m0.empty()) line += ", " + parts.m0;
    return line;
}

}  // namespace

ProgressParts ProgressPartsOf(const ComputationProgress& progress, char decimal) {
    ProgressParts parts;
    switch (progress.stage) {
        case ComputationStage::Orientation: parts.stage = "přibližná vnější orientace"; return parts;
        case ComputationStage::ObjectPoints: parts.stage = "souřadnice XYZ"; return parts;
        case ComputationStage::Adjustment: parts.stage = "svazkové vyrovnání"; break;
        case ComputationStage::Calibration: parts.stage = "kalibrace kamery"; break;
    }
    if (progress.adjustment == AdjustmentKind::WithoutCameraConstant) parts.adjustment = "bez konstanty komory";
    if (progress.adjustment == AdjustmentKind::WithCameraConstant) parts.adjustment = "s konstantou komory";
    if (progress.withoutOutliers) {
        if (!parts.adjustment.empty()) parts.adjustment += " ";
        parts.adjustment += "(bez odlehlých měření)";
    }
    if (progress.pass > 0) parts.pass = "iterace " + std::to_string(progress.pass);
    // Inside a long pass: how much of its solve is done.
    if (progress.pass > 0 && progress.passShare >= 0.0)
        parts.pass += " (" + std::to_string(static_cast<int>(std::lround(progress.passShare * 100.0))) + " %)";
    // The m0 of a pass that failed may be no number at all; none is shown.
    if (progress.pass > 1 && std::isfinite(progress.m0) && std::fabs(progress.m0) < 1e300L)
        parts.m0 = "m0 = " + SixDigits(progress.m0, decimal);
    return parts;
}

std::string ProgressText(const ComputationProgress& progress, char decimal, std::size_t columns) {
    const ProgressParts parts = ProgressPartsOf(progress, decimal);
    for (const bool heading : {true, false}) {
        const std::string line = Joined(parts, heading, true);
        if (Characters(line) <= columns) return line;
    }
    return FirstCharacters(Joined(parts, false, false), columns);
}

bool ReportPassStart(CommandHost& host, ComputationProgress& progress, std::int32_t pass, long double m0) {
    const FpScope keepFlags;
    progress.pass = pass;
    progress.m0 = m0;
    progress.passDone = false;
    progress.passShare = -1.0;
    host.ReportProgress(progress);
    return !host.CancelRequested();
}

void ReportPassEnd(CommandHost& host, const ComputationProgress& progress, std::int32_t pass, long double m0) {
    const FpScope keepFlags;
    ComputationProgress done = progress;
    done.pass = pass;
    done.m0 = m0;
    done.passDone = true;
    host.ReportProgress(done);
}

}  // namespace pelvanor
