#include "project/loaders.h"

#include <cmath>

#include "input/camera_file.h"
#include "input/control_file.h"
#include "input/image_file.h"
#include "protocol/number_format.h"

namespace pelvanor {

CameraFieldTexts CameraFieldTextsOf(const CameraParameters& camera, char decimal) {
    return {FormatGeneral(camera.f, decimal),  FormatGeneral(camera.x0, decimal),
            FormatGeneral(camera.y0, decimal), FormatGeneral(camera.k1, decimal),
            FormatGeneral(camera.k2, decimal), FormatGeneral(camera.k3, decimal),
            FormatGeneral(camera.p1, decimal), FormatGeneral(camera.p2, decimal)};
}

bool LoadCameraFile(const std::string& path, ProjectState& state) {
    state.CameraLoaded = ReadCameraFile(path, state.Camera);
    return state.CameraLoaded;
}

ControlLoadResult LoadControlPoints(const std::vector<std::string>& files, ProjectState& state) {
    using Status = ControlLoadResult::Status;
    const FileSetOutcome outcome = LoadControlFileSet(
        files, state.ControlPoints, state.ControlPointCounts, state.ControlPointRanges);
    if (outcome == FileSetOutcome::Refused || !state.ControlPointCounts) return {Status::Failed, 0};

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
    if (outcome != FileSetOutcome::Loaded || !state.ControlPoints || !state.ControlPointRanges)
        return {Status::Failed, 0};

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

bool LoadImagePoints(const std::vector<std::string>& files, ProjectState& state) {
    const bool ok = LoadImageFiles(files, state.ImagePoints, state.ImagePointCounts, state.ImagePointRanges);
    if (ok) state.ImagePointsLoaded = true;
    return ok;
}

}  // namespace pelvanor
