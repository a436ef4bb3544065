#include "orientation/observation_assembly.h"

#include <cmath>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "matrix/arithmetic.h"
#include "matrix/fp_guard.h"

namespace pelvanor {

namespace {

// Rounded whole number of element (i, j); false outside the matrix.  Point
// numbers keep all their digits: 2^32 + 1003 is not 1003.
bool ReadId(const Matice& m, int i, int j, std::int64_t& id) {
    long double v = 0.0L;
    if (i < 1 || j < 1 || i > m.r || j > m.s) return false;
    if (!m.CtiPrvek(static_cast<std::uint16_t>(i), static_cast<std::uint16_t>(j), v)) return false;
    if (!std::isfinite(v) || std::fabs(v) > kLargestPointNumber) return false;
    id = RoundId(v);
    return true;
}

// A row, count or image number: whole and small.
bool ReadId(const Matice& m, int i, int j, std::int32_t& id) {
    std::int64_t whole = 0;
    if (!ReadId(m, i, j, whole)) return false;
    if (whole < INT32_MIN || whole > INT32_MAX) return false;
    id = static_cast<std::int32_t>(whole);
    return true;
}

// A table with the given rows, or the 1 x 1 zero matrix that stands for an
// empty table.
MatPtr TableFromRows(const std::vector<std::vector<long double>>& rows, std::uint16_t cols) {
    if (rows.empty()) return NewMatrix(1, 1);
    MatPtr m = NewMatrix(static_cast<std::uint16_t>(rows.size()), cols);
    for (std::size_t i = 0; i < rows.size(); ++i)
        for (std::size_t j = 0; j < rows[i].size() && j < cols; ++j)
            m->SetPrvek(static_cast<int>(i + 1), static_cast<int>(j + 1), rows[i][j]);
    return m;
}

// Image number of every row 1..rowCount (index 0 unused): image i owns the
// rows C(i-1)+1 .. C(i) of the cumulative counts; rows beyond C(n) get 0.
bool ImagesOfRows(const Matice& rowCounts, int rowCount, std::vector<std::int32_t>& images) {
    images.assign(static_cast<std::size_t>(rowCount) + 1, 0);
    long long first = 1;
    for (int i = 1; i <= rowCounts.r; ++i) {
        std::int32_t c = 0;
        if (!ReadId(rowCounts, i, 1, c)) return false;
        const long long last = first + c - 1;
        for (long long row = std::max(first, 1LL); row <= last && row <= rowCount; ++row)
            images[static_cast<std::size_t>(row)] = i;
        first = last + 1;
    }
    return true;
}

// Shared body of the two index builders.  The measurements of every point
// are collected in one pass over the table, in increasing row order, which is
// the order the per-point search would find them in.
bool BuildIndex(const Matice* table, const Matice* rowCounts, const Matice* pointList,
                bool controlPoints, MatPtr& countsTable, MatPtr& indexTable) {
    return GuardedComputation([&] {
        if (!table || !rowCounts || !pointList) return false;
        const int n = rowCounts->r;  // images; also the capacity per point
        const long long width = 2LL * n + 1;
        if (!FitsMatrixSize(width) || table->s < 1) return false;

        std::vector<std::int32_t> images;
        if (!ImagesOfRows(*rowCounts, table->r, images)) return false;

        std::unordered_map<std::int64_t, std::vector<std::int32_t>> rowsOf;
        for (int row = 1; row <= table->r; ++row) {
            std::int64_t id = 0;
            if (!ReadId(*table, row, 1, id)) return false;
            rowsOf[id].push_back(row);
        }

        std::vector<std::vector<long double>> counts;
        std::vector<std::vector<long double>> index;
        for (int k = 1; k <= pointList->r; ++k) {
            std::int64_t p = 0;
            if (!ReadId(*pointList, k, 1, p)) return false;
            if (p <= 0) continue;  // such a row would be dropped from both tables
            const auto it = rowsOf.find(p);
            const std::size_t c = it == rowsOf.end() ? 0 : it->second.size();
            // One measurement per image fits the index table; more means the
            // number stands twice in some image's block beyond what the
            // table can hold.  Refuse rather than drop a measurement.
            if (c > static_cast<std::size_t>(n)) return false;
            if (c >= 2 || controlPoints)
                counts.push_back({static_cast<long double>(p), static_cast<long double>(c)});
            if (c >= 2) {
                std::vector<long double> entry(static_cast<std::size_t>(width), 0.0L);
                entry[0] = static_cast<long double>(p);
                for (std::size_t t = 0; t < c; ++t) {
                    const std::int32_t row = it->second[t];
                    const std::int32_t image = images[static_cast<std::size_t>(row)];
                    entry[2 * t + 1] = static_cast<long double>(row);
                    entry[2 * t + 2] = static_cast<long double>(controlPoints ? -image : image);
                }
                index.push_back(std::move(entry));
            }
        }
        countsTable = TableFromRows(counts, 2);
        indexTable = TableFromRows(index, static_cast<std::uint16_t>(width));
        return true;
    });
}

}  // namespace

bool RowsOfPoint(std::int64_t number, const Matice* table, MatPtr& rows, std::int32_t capacity) {
    return GuardedComputation([&] {
        if (!table || !FitsMatrixSize(capacity)) return false;
        rows = NewMatrix(static_cast<std::uint16_t>(capacity), 1);
        std::int32_t found = 0;
        for (int i = 1; i <= table->r; ++i) {
            std::int64_t id = 0;
            if (!ReadId(*table, i, 1, id)) return false;
            if (id != number) continue;
            // More occurrences than places: refuse instead of silently
            // losing a measurement.
            if (found == capacity) return false;
            rows->SetPrvek(++found, 1, static_cast<long double>(i));
        }
        return true;
    });
}

bool ImageOfRow(const Matice* rowCounts, std::int32_t& image, long double row) {
    return GuardedComputation([&] {
        image = 0;
        if (!rowCounts) return false;
        long long previous = 0;
        for (int i = 1; i <= rowCounts->r; ++i) {
            std::int32_t c = 0;
            if (!ReadId(*rowCounts, i, 1, c)) return false;
            const long long cumulative = previous + c;
            if (static_cast<long double>(previous) < row &&
                row <= static_cast<long double>(cumulative)) {
                image = i;
                return true;
            }
            previous = cumulative;
        }
        return true;
    });
}

bool DistinctPoints(const Matice* table, const Matice* rowRanges, const Matice* rowCounts,
                    MatPtr& list) {
    return GuardedComputation([&] {
        if (!table || !rowRanges || !rowCounts) return false;
        const int n = rowCounts->r;
        std::int32_t last = 0;
        if (n < 1 || !ReadId(*rowRanges, n, 2, last)) return false;
        if (last < 0 || last > table->r) return false;
        // Point number 0 is never listed (it marks an unfilled place) and
        // non-positive numbers are dropped like every compacted table does.
        std::unordered_set<std::int64_t> seen;
        std::vector<std::vector<long double>> rows;
        for (int i = 1; i <= last; ++i) {
            std::int64_t p = 0;
            if (!ReadId(*table, i, 1, p)) return false;
            if (p <= 0 || !seen.insert(p).second) continue;
            rows.push_back({static_cast<long double>(p)});
        }
        list = TableFromRows(rows, 1);
        return true;
    });
}

bool TiePointIndex(const Matice* table, const Matice* rowCounts, const Matice* pointList,
                   MatPtr& countsTable, MatPtr& indexTable) {
    return BuildIndex(table, rowCounts, pointList, false, countsTable, indexTable);
}

bool ControlPointIndex(const Matice* table, const Matice* rowCounts, const Matice* pointList,
                       MatPtr& countsTable, MatPtr& indexTable) {
    return BuildIndex(table, rowCounts, pointList, true, countsTable, indexTable);
}

bool SelectedControlRows(const Matice* selection, const Matice* table, const Matice* rowCounts,
                         const Matice* rowRanges, MatPtr& selected) {
    return GuardedComputation([&] {
        if (!selection || !table || !rowCounts || !rowRanges) return false;
        selected = NewMatrix(table->r, table->s);
        const int n = rowCounts->r;
        if (selection->r < 4LL * n || selection->s < 1 || rowRanges->r < n || rowRanges->s < 1)
            return false;
        int next = 1;
        bool layoutKept = true;
        for (int i = 1; i <= n; ++i) {
            std::int32_t count = 0, first = 0;
            if (!ReadId(*rowCounts, i, 1, count) || !ReadId(*rowRanges, i, 1, first)) return false;
            int copiedForImage = 0;
            // Four points, not three with one counted twice.
            for (int a = 4 * i - 3; a <= 4 * i; ++a)
                for (int b = a + 1; b <= 4 * i; ++b)
                    if (selection->GetPrvek(a, 1) == selection->GetPrvek(b, 1)) layoutKept = false;
            for (int j = 1; j <= count; ++j) {
                const int row = first + j - 1;
                if (row < 1 || row > table->r) return false;
                const long double number = table->GetPrvek(row, 1);
                for (int k = 4 * i - 3; k <= 4 * i; ++k) {
                    // The selection holds numbers copied from this table, so
                    // the comparison is exact.
                    if (number != selection->GetPrvek(k, 1)) continue;
                    // A repeated number (in the selection or in the block)
                    // would copy more rows than the table has: refuse.
                    if (next > selected->r) return false;
                    for (int col = 1; col <= table->s; ++col)
                        selected->SetPrvek(next, col, table->GetPrvek(row, col));
                    ++next;
                    ++copiedForImage;
                }
            }
            // The four-point methods read image i from rows 4i-3..4i; any
            // other number of rows would hand them another image's points.
            if (copiedForImage != 4) layoutKept = false;
        }
        if (!CompactRows(selected)) {
            // No row kept: the empty table; any other failure is one.
            if (!selected || selected->r != 1 || selected->s != 1) return false;
        }
        return layoutKept && selected->r == 4 * n;
    });
}

}  // namespace pelvanor
