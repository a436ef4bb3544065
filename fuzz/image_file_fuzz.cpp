// Fuzz target: the image coordinate files.  The input is split into up to
// six files (record separator 0x1E between them, "\x1F" alone for a file
// that does not exist); the first one also goes through CountLines and
// ReadImageFile on their own.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "project/project_state.h"
#include "fuzz/fuzz_checks.h"
#include "fuzz/fuzz_files.h"
#include "project/loaders.h"
#include "input/image_file.h"

using namespace pelvanor;
using namespace pelvanor::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> files = WriteFileSet(data, size, 6);

    long long count = -1;
    const bool counted = CountLines(files[0], count);
    Check(count >= 0 && (counted || count == 0), "CountLines gives a negative count or a count on failure");
    if (counted) {
        // One row more than the file has: missing numbers at the end read as 0.
        const auto rows = static_cast<std::uint16_t>(std::min<long long>(count + 1, 65535));
        MatPtr m;
        const bool read = ReadImageFile(files[0], m, rows);
        Check(m != nullptr, "ReadImageFile of an opened file leaves no matrix");
        Check(m->r == rows && m->s == 4, "ReadImageFile makes a matrix of the wrong size");
        Check(AllOrdinary(*m), "ReadImageFile stores a value that is not a finite number");
        if (read && rows == count + 1)
            for (int j = 1; j <= 4; ++j) Check(m->GetPrvek(rows, j) == 0.0L, "a row past the end is not 0");
    }

    ProjectState state;
    state.ImagePoints = NewMatrix(1, 1);
    state.ImagePoints->SetPrvek(1, 1, 42.0L);
    const bool loaded = LoadImagePoints(files, state);
    Check(state.ImagePointsLoaded == loaded, "ImagePointsLoaded is not the result of a load");
    if (!loaded) {
        // A failed load changes nothing.
        Check(state.ImagePointCounts == nullptr && state.ImagePointRanges == nullptr &&
                  state.ImagePoints->r == 1 && state.ImagePoints->GetPrvek(1, 1) == 42.0L,
              "a failed load replaced the points");
        return 0;
    }
    const Matice& counts = *state.ImagePointCounts;
    const Matice& ranges = *state.ImagePointRanges;
    const Matice& points = *state.ImagePoints;
    Check(counts.r == files.size() && counts.s == 1 && ranges.r == files.size() && ranges.s == 2,
          "counts or ranges of the wrong size");
    Check(points.s == 4 && AllOrdinary(points), "points of the wrong width or not finite");
    long long first = 1;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const int row = static_cast<int>(i) + 1;
        long long n = 0;
        Check(CountLines(files[i], n), "a loaded file cannot be counted");
        Check(counts.GetPrvek(row, 1) == static_cast<long double>(n), "count differs from CountLines");
        Check(ranges.GetPrvek(row, 1) == static_cast<long double>(first) &&
                  ranges.GetPrvek(row, 2) == static_cast<long double>(first + n - 1),
              "range does not follow the counts");
        // Each image's block is what its own file reads.
        MatPtr block;
        Check(ReadImageFile(files[i], block, static_cast<std::uint16_t>(n)), "a loaded file does not read");
        for (int r = 1; r <= block->r; ++r)
            for (int j = 1; j <= 4; ++j)
                Check(SameBits(block->GetPrvek(r, j), points.GetPrvek(static_cast<int>(first) - 1 + r, j)),
                      "the merged table differs from the image's own file");
        first += n;
    }
    Check(points.r == first - 1, "points table does not hold every line");
    return 0;
}
