#pragma once
// The choice of the four control points an image's approximate orientation
// starts from ("Vybrat body"): the points offered for one image, and the
// storing of the four the user marked into SelectedOrientationPoints.

#include <string>
#include <vector>

#include "project/project_state.h"

namespace pelvanor {

// Shown when "Použít" finds other than four points marked.
inline constexpr const char* kWrongPointCountMessage = "Chyba - špatný počet vlícovacích bodů";

// The point numbers of image `image`'s control points (1-based image), in
// the order of its file, as the selection lists them: the general number
// format with the decimal separator `decimal` (a whole number without
// decimals).  False, with `numbers` empty, when no control points of that
// image are loaded.
bool SelectablePointNumbers(const ProjectState& state, int image, char decimal, std::vector<std::string>& numbers);

// "Použít": `marked[j]` tells whether line j + 1 of image `image`'s control
// points is marked.  With exactly four marks their point numbers, in line
// order, each as the list shows it read back in the notation of `decimal`,
// go into rows 4k-3..4k (k = `image`) of state.SelectedOrientationPoints,
// and the result is true.  Any other count returns false and stores
// nothing.
bool StoreSelectedPoints(ProjectState& state, int image, const std::vector<bool>& marked, char decimal);

}  // namespace pelvanor
