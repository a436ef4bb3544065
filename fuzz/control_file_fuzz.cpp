// Fuzz target: the control point files and the load of "Načíst orientaci".
// Input split as for the image coordinate files (fuzz_files.h).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "project/project_state.h"
#include "fuzz/fuzz_checks.h"
#include "fuzz/fuzz_files.h"
#include "project/loaders.h"
#include "input/control_file.h"
#include "input/image_file.h"

using namespace pelvanor;
using namespace pelvanor::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> files = WriteFileSet(data, size, 6);

    long long count = 0;
    if (CountLines(files[0], count)) {
        const auto rows = static_cast<std::uint16_t>(std::min<long long>(count, 65535));
        MatPtr m;
        ReadControlFile(files[0], m, rows);
        Check(m != nullptr && m->r == rows && m->s == 6, "ReadControlFile makes a matrix of the wrong size");
        Check(AllOrdinary(*m), "ReadControlFile stores a value that is not a finite number");
    }

    ProjectState state;
    state.SelectedOrientationPoints = NewMatrix(1, 1);
    state.SelectedOrientationPoints->SetPrvek(1, 1, 7.0L);
    const ControlLoadResult result = LoadControlPoints(files, state);
    const int n = static_cast<int>(files.size());
    using Status = ControlLoadResult::Status;
    if (result.status != Status::Loaded) {
        Check(!state.ControlPointsLoaded, "a failed load sets ControlPointsLoaded");
        Check(state.SelectedOrientationPoints->r == 1 && state.SelectedOrientationPoints->GetPrvek(1, 1) == 7.0L,
              "a failed load changed the selected orientation points");
    }
    if (result.status == Status::TooFewPoints) {
        Check(result.image >= 1 && result.image <= n, "TooFewPoints names no image");
        Check(!state.ControlPoints && !state.ControlPointCounts && !state.ControlPointRanges,
              "TooFewPoints changed the control point tables");
        long long lines = 0;
        CountLines(files[static_cast<std::size_t>(result.image - 1)], lines);
        Check(lines < kMinControlPointsPerImage, "TooFewPoints for an image with enough lines");
        return 0;
    }
    if (result.status == Status::Failed) {
        Check(!state.ControlPoints && !state.ControlPointCounts && !state.ControlPointRanges,
              "a failed load changed the control point tables");
        return 0;
    }

    Check(state.ControlPointsLoaded, "a load did not set ControlPointsLoaded");
    const Matice& counts = *state.ControlPointCounts;
    const Matice& ranges = *state.ControlPointRanges;
    const Matice& points = *state.ControlPoints;
    const Matice& selected = *state.SelectedOrientationPoints;
    Check(counts.r == n && ranges.r == n && points.s == 6 && selected.r == 4 * n && selected.s == 1,
          "tables of the wrong size");
    Check(AllOrdinary(points), "control points not finite");
    long long first = 1;
    for (int i = 1; i <= n; ++i) {
        const long double c = counts.GetPrvek(i, 1);
        Check(c >= kMinControlPointsPerImage, "a loaded image has fewer than four control points");
        Check(ranges.GetPrvek(i, 1) == static_cast<long double>(first), "range does not follow the counts");
        MatPtr block;
        const auto rows = static_cast<std::uint16_t>(c);
        Check(ReadControlFile(files[static_cast<std::size_t>(i - 1)], block, rows), "a loaded file does not read");
        for (int j = 0; j < 4; ++j)
            Check(SameBits(selected.GetPrvek(4 * (i - 1) + 1 + j, 1), block->GetPrvek(1 + j, 1)),
                  "selected orientation points are not the first four lines of the image");
        for (int r = 1; r <= rows; ++r)
            for (int j = 1; j <= 6; ++j)
                Check(SameBits(block->GetPrvek(r, j), points.GetPrvek(static_cast<int>(first) - 1 + r, j)),
                      "the merged table differs from the image's own file");
        first += rows;
    }
    Check(points.r == first - 1, "points table does not hold every line");
    return 0;
}
