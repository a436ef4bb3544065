#include "orientation/resection_loop.h"

#include "matrix/arithmetic.h"

namespace pelvanor::detail {

bool ResectEveryImage(const Matice& selected, const Matice& rowCounts, MatPtr& orientations,
                      const std::function<bool(Matice& points, MatPtr& row)>& resect) {
    const int n = rowCounts.r;
    orientations = NewMatrix(static_cast<std::uint16_t>(n), 16);
    for (int i = 1; i <= n; ++i) {
        MatPtr points = NewMatrix(4, 6);
        if (!CopyBlock(*points, 1, 1, selected, 4 * i - 3, 4 * i, 1, 6)) return false;
        MatPtr row;
        if (!resect(*points, row)) return false;
        if (!CopyBlock(*orientations, i, 1, *row, 1, 1, 1, 16)) return false;
    }
    return true;
}

}  // namespace pelvanor::detail
