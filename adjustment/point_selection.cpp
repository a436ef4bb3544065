#include "adjustment/point_selection.h"

#include <algorithm>
#include <vector>

#include "matrix/arithmetic.h"
#include "matrix/fp_guard.h"

namespace pelvanor {

bool SelectBundlePoints(const Matice* index, const Matice* counts, std::int32_t percent,
                        MatPtr& selectedIndex, MatPtr& selectedCounts) {
    return GuardedComputation([&] {
        if (index == nullptr || counts == nullptr) return false;
        // 100 / 0 is a division by zero: no selection can be made.
        if (percent == 0) return false;
        const long double quotient = 100.0L / static_cast<long double>(percent);
        const std::int32_t k = RoundId(quotient);

        selectedIndex = NewMatrix(index->r, index->s);
        selectedCounts = NewMatrix(counts->r, counts->s);
        bool ok = true;
        std::int32_t j = 1;
        bool anyPoint = false;
        for (std::int32_t r = 1; r <= index->r; ++r) {
            if (static_cast<long long>(k) * j != r) continue;
            ok = CopyBlock(*selectedIndex, j, 1, *index, r, r, 1, index->s) && ok;
            ok = CopyBlock(*selectedCounts, j, 1, *counts, r, r, 1, counts->s) && ok;
            anyPoint = anyPoint || RoundId(index->GetPrvek(r, 1)) > 0;
            ++j;
        }
        const bool indexKept = CompactRows(selectedIndex);
        const bool countsKept = CompactRows(selectedCounts);
        // Nothing taken, or only the row of an empty table: both tables are
        // the empty table, which is no failure.
        if (!anyPoint) return ok;
        return ok && indexKept && countsKept;
    });
}

namespace {

// Rows of `table` whose rounded number is not in `removed`, then compacted.
// False when every point was removed; a table that held no point (the empty
// table) stays empty without failing.
bool WithoutPoints(const Matice& table, const std::vector<std::int64_t>& removed, MatPtr& out) {
    out = NewMatrix(table.r, table.s);
    std::int32_t j = 1;
    bool anyPoint = false;
    for (std::int32_t r = 1; r <= table.r; ++r) {
        const std::int64_t number = RoundId(table.GetPrvek(r, 1));
        anyPoint = anyPoint || number > 0;
        if (std::find(removed.begin(), removed.end(), number) != removed.end()) continue;
        if (!CopyBlock(*out, j, 1, table, r, r, 1, table.s)) return false;
        ++j;
    }
    const bool kept = CompactRows(out);
    return kept || !anyPoint;
}

}  // namespace

bool SelectOutliers(const Matice* pointList, const Matice* selectedIndex,
                    [[maybe_unused]] const Matice* imageRows, long double weightPercent,
                    const Matice* selectedCounts, [[maybe_unused]] const Matice* controlCounts,
                    const Matice* weights, [[maybe_unused]] std::int32_t fixedCount,
                    MatPtr& cleanedIndex, MatPtr& cleanedCounts, MatPtr& outliers) {
    return GuardedComputation([&] {
        if (pointList == nullptr || selectedIndex == nullptr || selectedCounts == nullptr ||
            weights == nullptr || weights->s < 1) {
            return false;
        }
        // The point of every observation row, in the adjustment's order.
        std::vector<std::int32_t> pointOfRow;
        for (std::int32_t i = 1; i <= pointList->r; ++i) {
            for (std::int32_t col = 3; col <= pointList->s; col += 2) {
                if (RoundId(pointList->GetPrvek(i, col)) == 0) continue;
                pointOfRow.push_back(i);
                pointOfRow.push_back(i);
            }
        }
        if (pointOfRow.size() != weights->r) return false;

        const long double threshold = weightPercent / 100.0L;
        std::vector<std::int64_t> numbers;  // outlier numbers, first detection first
        std::vector<std::int32_t> listRows;
        for (std::int32_t i = 1; i <= weights->r; ++i) {
            if (!(threshold > weights->GetPrvek(i, 1))) continue;
            const std::int32_t h = pointOfRow[static_cast<std::size_t>(i - 1)];
            const std::int64_t number = RoundId(pointList->GetPrvek(h, 1));
            if (std::find(numbers.begin(), numbers.end(), number) != numbers.end()) continue;
            numbers.push_back(number);
            listRows.push_back(h);
        }

        if (numbers.empty()) {
            cleanedIndex = MatCopy(*selectedIndex);
            cleanedCounts = MatCopy(*selectedCounts);
            outliers = NewMatrix(1, 1);
            return true;
        }
        if (!FitsMatrixSize(static_cast<long long>(numbers.size()))) return false;
        outliers = NewMatrix(static_cast<std::uint16_t>(numbers.size()), 2);
        for (std::size_t q = 0; q < numbers.size(); ++q) {
            outliers->SetPrvek(static_cast<std::int32_t>(q) + 1, 1, pointList->GetPrvek(listRows[q], 1));
            outliers->SetPrvek(static_cast<std::int32_t>(q) + 1, 2, static_cast<long double>(listRows[q]));
        }
        const bool indexOk = WithoutPoints(*selectedIndex, numbers, cleanedIndex);
        const bool countsOk = WithoutPoints(*selectedCounts, numbers, cleanedCounts);
        return indexOk && countsOk;
    });
}

}  // namespace pelvanor
