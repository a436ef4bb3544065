#include "input/control_file.h"

#include <cmath>

#include "input/text_scanner.h"

namespace pelvanor {

bool ReadControlFile(const std::string& path, MatPtr& matrix, std::uint16_t rows) {
    return detail::ReadNumberRows(path, rows, 6, matrix);
}

bool LoadControlFiles(const std::vector<std::string>& files, MatPtr& points, MatPtr& counts, MatPtr& ranges) {
    return detail::LoadNumberRowFiles(files, 6, points, counts, ranges) == detail::LoadOutcome::Loaded;
}

ControlLoadResult LoadControlPoints(const std::vector<std::string>& files, ProjectState& state) {
    using Status = ControlLoadResult::Status;
    const detail::LoadOutcome outcome = detail::LoadNumberRowFiles(
        files, 6, state.ControlPoints, state.ControlPointCounts, state.ControlPointRanges);
    if (outcome == detail::LoadOutcome::Refused) return {Status::Failed, 0};

    // The minimum check runs on what the load counted, also after a failed
    // read (a file that cannot be opened counts 0 lines).
    const Matice& counts = *state.ControlPointCounts;
    for (int i = 1; i <= counts.r; ++i) {
        if (counts.GetPrvek(i, 1) < static_cast<long double>(kMinControlPointsPerImage)) {
            state.ControlPoints.reset();
            state.ControlPointRanges.reset();
            state.ControlPointCounts.reset();
            return {Status::TooFewPoints, i};
        }
    }
    if (outcome != detail::LoadOutcome::Loaded) return {Status::Failed, 0};

    const Matice& points = *state.ControlPoints;
    const Matice& ranges = *state.ControlPointRanges;
    const int n = counts.r;
    MatPtr selected = NewMatrix(static_cast<std::uint16_t>(4 * n), 1);
    for (int i = 1; i <= n; ++i) {
        const int first = static_cast<int>(std::lround(ranges.GetPrvek(i, 1)));
        for (int j = 0; j < 4; ++j) selected->SetPrvek(4 * (i - 1) + 1 + j, 1, points.GetPrvek(first + j, 1));
    }
    state.SelectedOrientationPoints = std::move(selected);
    state.ControlPointsLoaded = true;
    return {Status::Loaded, 0};
}

}  // namespace pelvanor
