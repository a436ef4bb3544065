#pragma once
// The bundle adjustment protocol of the panel ("Výsledky" > "Svazkové
// vyrovnání") and the pieces of it that the complete protocol repeats: the
// value lines of one adjustment, the outlier list and the table of the
// adjusted exterior orientations.

#include <cstdint>
#include <string>
#include <vector>

#include "matrix/matice.h"

namespace pelvanor {

// Column header of the adjusted orientations: X0 Y0 Z0 in metres, then the
// angles alfa, beta, gama in radians; the second adds the camera constant.
extern const std::string kBundleHeader;
extern const std::string kBundleHeaderF;

// True when the unknown vector and its image index can give the row of
// every image 1..images: both exist, the index has a row per image and
// every image's block (six unknowns, seven with the camera constant) lies
// inside the unknown vector.  A block left from an earlier run on another
// project, or never computed, fails this test and is not printed.
bool BundleTableAvailable(const Matice* unknowns, const Matice* imageIndex, int images,
                          bool withCameraConstant);

// Row of image `image`: its number, then X0 Y0 Z0 (fixed, six decimals),
// alfa beta gama (seven decimals), and f when `withCameraConstant`; the
// block starts at the row of `unknowns` named by `imageIndex`(image, 1).
// The caller has checked BundleTableAvailable.
std::string BundleRow(const Matice& unknowns, const Matice& imageIndex, int image,
                      bool withCameraConstant, char decimal);

// Unit standard deviation, redundancy and iteration count of one adjustment.
std::vector<std::string> BundleSummaryLines(long double sigma0, std::int32_t redundancy,
                                            std::int32_t iterations, char decimal);

// Count of the points the robust method removed and, when there are any,
// "Vyřazené body" and one point number per line.
std::vector<std::string> OutlierLines(const Matice* outliers, char decimal);

}  // namespace pelvanor
