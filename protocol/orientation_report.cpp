#include "protocol/orientation_report.h"

#include "protocol/number_format.h"

namespace pelvanor {

std::string OrientationTableHeader(int rotationDecimals) {
    // Each name stands at the right end of its column.
    std::string h = "Snímek" + std::string(static_cast<std::size_t>(rotationDecimals), ' ') + "r11";
    for (const char* name : {"r12", "r13", "r21", "r22", "r23", "r31", "r32", "r33"})
        h += std::string(static_cast<std::size_t>(rotationDecimals) + 1, ' ') + name;
    return h + "       X0[m]     Y0[m]     Z0[m]";
}

const std::string kOrientationTableHeader = OrientationTableHeader(6);

std::string OrientationRow(const Matice& orientation, int image, char decimal, int rotationDecimals) {
    const std::string rotation = "0." + std::string(static_cast<std::size_t>(rotationDecimals), '0');
    std::string row = FormatPattern("  00#", static_cast<long double>(image), decimal) + "    ";
    for (int j = 1; j <= 9; ++j) {
        if (j > 1) row += ' ';
        row += FormatSigned(rotation, orientation.GetPrvek(image, j), decimal);
    }
    row += "  ";
    row += FixedSigned(orientation.GetPrvek(image, 10), decimal);
    row += ' ';
    row += FixedSigned(orientation.GetPrvek(image, 11), decimal);
    row += ' ';
    row += FixedSigned(orientation.GetPrvek(image, 12), decimal);
    return row;
}

std::vector<std::string> OrientationReport(int imageCount, const Matice& minimal,
                                           long double iterations, const Matice& sigma0,
                                           const Matice& refined, char decimal) {
    const std::string title = "Výpočet přibližné orientace - program Pelvanor";
    const std::string minimalHeading =
        "Řešení vnější orientace z minimálního počtu vlícovacích bodů";
    const std::string refinedHeading = "Řešení vnější orientace z projektivní transformace";
    std::vector<std::string> lines;
    lines.push_back(title);
    lines.push_back(std::string(46, '*'));
    lines.push_back(" ");
    lines.push_back(minimalHeading);
    lines.push_back(std::string(60, '-'));
    lines.push_back(" ");
    lines.push_back(kOrientationTableHeader);
    for (int i = 1; i <= imageCount; ++i) lines.push_back(OrientationRow(minimal, i, decimal));
    lines.push_back(" ");
    lines.push_back(refinedHeading);
    lines.push_back(std::string(50, '-'));
    lines.push_back(" ");
    lines.push_back("Počet iterací: " + FormatGeneral(iterations, decimal));
    lines.push_back(" ");
    for (int i = 1; i <= imageCount; ++i)
        lines.push_back("Aposteriorní směrodatná odchylka jednotková na snímku" +
                        FormatPattern("  00#", static_cast<long double>(i), decimal) + " = " +
                        FormatPattern("0.000", sigma0.GetPrvek(i, 1), decimal));
    lines.push_back(" ");
    lines.push_back(kOrientationTableHeader);
    for (int i = 1; i <= imageCount; ++i) lines.push_back(OrientationRow(refined, i, decimal));
    return lines;
}

}  // namespace pelvanor
