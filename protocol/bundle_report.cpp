#include "protocol/bundle_report.h"

#include <cmath>

#include "protocol/number_format.h"
#include "protocol/report_layout.h"

namespace pelvanor {

const std::string kBundleHeader = "Snímek" + Spaces(5) + "X0[m]" + Spaces(5) + "Y0[m]" + Spaces(5) +
                                  "Z0[m]" + Spaces(4) + "alfa[rad]" + Spaces(2) + "beta[rad]" +
                                  Spaces(2) + "gama[rad]";
const std::string kBundleHeaderF = kBundleHeader + Spaces(6) + "f";

namespace {

// Unknowns per image: X0 Y0 Z0 alfa beta gama, and f with the camera constant.
int UnknownsPerImage(bool withCameraConstant) { return withCameraConstant ? 7 : 6; }

// First row of the image's unknowns; 0 when the index does not hold a
// usable position.
long long FirstUnknownRow(const Matice& imageIndex, int image) {
    const long double b = imageIndex.GetPrvek(image, 1);
    if (!std::isfinite(b) || std::fabs(b) > 1.0e9L) return 0;
    return std::llrint(b);
}

}  // namespace

bool BundleTableAvailable(const Matice* unknowns, const Matice* imageIndex, int images,
                          bool withCameraConstant) {
    if (!unknowns || !imageIndex) return false;
    if (unknowns->s < 1 || imageIndex->s < 1 || imageIndex->r < images) return false;
    const int last = UnknownsPerImage(withCameraConstant) - 1;
    for (int i = 1; i <= images; ++i) {
        const long long b = FirstUnknownRow(*imageIndex, i);
        if (b < 1 || b + last > unknowns->r) return false;
    }
    return true;
}

std::string BundleRow(const Matice& unknowns, const Matice& imageIndex, int image,
                      bool withCameraConstant, char decimal) {
    const int b = static_cast<int>(FirstUnknownRow(imageIndex, image));
    auto u = [&](int offset) { return unknowns.GetPrvek(b + offset, 1); };
    std::string row = ImageNumber(image, decimal) + "    ";
    row += FixedSigned(u(0), decimal) + " " + FixedSigned(u(1), decimal) + " " +
           FixedSigned(u(2), decimal);
    for (int k = 3; k <= 5; ++k) row += " " + FormatSigned("0.0000000", u(k), decimal);
    if (withCameraConstant) row += " " + FixedSigned(u(6), decimal);
    return row;
}

std::vector<std::string> BundleSummaryLines(long double sigma0, std::int32_t redundancy,
                                            std::int32_t iterations, char decimal) {
    return {
        "Aposteriorní směrodatná odchylka jednotková: " + FormatPattern("0.000", sigma0, decimal),
        "Počet nadbytečných měření: " + FormatGeneral(static_cast<long double>(redundancy), decimal),
        "Počet iterací: " + FormatGeneral(static_cast<long double>(iterations), decimal),
    };
}

std::vector<std::string> OutlierLines(const Matice* outliers, char decimal) {
    const int k = TableEntryCount(outliers);
    std::vector<std::string> lines{"Počet vyřazených bodů z výpočtu svazkového vyrovnání: " +
                                   FormatGeneral(static_cast<long double>(k), decimal)};
    if (k != 0) {
        lines.push_back("Vyřazené body");
        for (int j = 1; j <= k; ++j) lines.push_back(FormatGeneral(outliers->GetPrvek(j, 1), decimal));
    }
    return lines;
}

}  // namespace pelvanor
