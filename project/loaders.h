#pragma once
// The three loading commands' work on the whole project, without their
// window work: each reads its files through input/ and stores what it read
// in the project state.

#include <string>
#include <vector>

#include "input/camera_file.h"
#include "project/project_state.h"

namespace pelvanor {

// The values as the camera fields show them: the general number format with
// the locale's decimal separator, in window order.
CameraFieldTexts CameraFieldTextsOf(const CameraParameters& camera, char decimal);

// ReadCameraFile into state.Camera; sets state.CameraLoaded to the result.
bool LoadCameraFile(const std::string& path, ProjectState& state);

struct ControlLoadResult {
    enum class Status {
        Loaded,        // state updated, ControlPointsLoaded set
        Failed,        // a file could not be read, or the load was refused
        TooFewPoints,  // image `image` has fewer than four lines
    };
    Status status = Status::Failed;
    int image = 0;  // TooFewPoints: the first such image, 1-based
};

// The load of "Načíst orientaci" without its window work:
//   - LoadControlFiles into ControlPoints, ControlPointCounts,
//     ControlPointRanges (a refused load, of no files or more than 65535
//     lines, changes nothing and is Failed);
//   - the minimum check: the first image with fewer than four rows releases
//     the three control point matrices (null) and gives TooFewPoints;
//   - on success SelectedOrientationPoints (4n x 1) receives the point
//     numbers of the first four lines of every image and ControlPointsLoaded
//     is set.  On failure SelectedOrientationPoints and ControlPointsLoaded
//     keep their values.
ControlLoadResult LoadControlPoints(const std::vector<std::string>& files, ProjectState& state);

// LoadImageFiles into state.ImagePoints, state.ImagePointCounts and
// state.ImagePointRanges; sets state.ImagePointsLoaded on success and leaves
// it as it was on failure.
bool LoadImagePoints(const std::vector<std::string>& files, ProjectState& state);

}  // namespace pelvanor
