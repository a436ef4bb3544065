#pragma once
// The protocol of the approximate exterior orientation shown in the panel:
// per image the four-point orientation, the refinement's iteration count and
// unit standard deviations, and the refined orientation.

#include <string>
#include <vector>

#include "matrix/matice.h"

namespace pelvanor {

// Column header of an orientation table whose rotation elements have
// `rotationDecimals` decimals: the panel's six (127 characters) or the
// complete protocol's seven (136 characters).
std::string OrientationTableHeader(int rotationDecimals);
extern const std::string kOrientationTableHeader;  // the panel's

// One table row of image `image` from row `image` of `orientation`
// (columns 1..12: r11 .. r33 with `rotationDecimals` decimals, X0, Y0, Z0).
std::string OrientationRow(const Matice& orientation, int image, char decimal, int rotationDecimals = 6);

// The panel lines (UTF-8), title first, for `imageCount` images; the caller
// clears the panel before showing them.  minimal: n x 16 (or wider than 12),
// sigma0: n x 1, refined: n x 12.
std::vector<std::string> OrientationReport(int imageCount, const Matice& minimal,
                                           long double iterations, const Matice& sigma0,
                                           const Matice& refined, char decimal);

}  // namespace pelvanor
