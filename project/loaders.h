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

// Why a load of control points or image coordinates was refused, where the
// failure line alone would not tell.
struct LoadProblem {
    enum class Cause {
        None,
        Memory,               // an allocation failed
        PointNumberTooLarge,  // a point number beyond kLargestPointNumber in magnitude
    };
    Cause cause = Cause::None;
    std::string file;          // PointNumberTooLarge: the file holding the number
    long double number = 0.0L;  // PointNumberTooLarge: the number
};

// The log line that names the cause (empty for Cause::None); the command's
// failure line follows it.
std::string LoadProblemLine(const LoadProblem& problem);

struct ControlLoadResult {
    enum class Status {
        Loaded,        // state updated, ControlPointsLoaded set
        Failed,        // a file could not be read, or the load was refused
        TooFewPoints,  // image `image` has fewer than four lines
    };
    Status status = Status::Failed;
    int image = 0;  // TooFewPoints: the first such image, 1-based
    LoadProblem problem;  // Failed: the cause, when the program knows it
};

// The load of "Načíst orientaci" without its window work:
//   - LoadControlFiles into ControlPoints, ControlPointCounts,
//     ControlPointRanges;
//   - the minimum check: the first image with fewer than four rows gives
//     TooFewPoints;
//   - a point number beyond kLargestPointNumber is refused (Failed);
//   - on success SelectedOrientationPoints (4n x 1) receives the point
//     numbers of the first four lines of every image and ControlPointsLoaded
//     is set.
// A load that is not Loaded changes nothing in the state: the previous
// tables, counts, ranges, selection and ControlPointsLoaded stay, so every
// later computation works on one consistent project.
ControlLoadResult LoadControlPoints(const std::vector<std::string>& files, ProjectState& state);

// LoadImageFiles into state.ImagePoints, state.ImagePointCounts and
// state.ImagePointRanges and sets state.ImagePointsLoaded.  A failed load
// (a file that cannot be read, a point number beyond kLargestPointNumber,
// memory) changes nothing in the state; `problem` receives its cause.
bool LoadImagePoints(const std::vector<std::string>& files, ProjectState& state,
                     LoadProblem* problem = nullptr);

}  // namespace pelvanor
