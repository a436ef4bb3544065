#include "project/loaders.h"

#include <cmath>
#include <new>

#include "input/camera_file.h"
#include "input/control_file.h"
#include "input/image_file.h"
#include "matrix/arithmetic.h"
#include "project/failure_causes.h"
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

namespace {

// The first point number of the table (column 1, rows in image blocks by
// `ranges`) that the program cannot compare exactly; false and `problem`
// filled when there is one.  `files` are in image order.
bool PointNumbersExact(const Matice& points, const Matice& ranges, const std::vector<std::string>& files,
                       LoadProblem& problem) {
    for (int image = 1; image <= ranges.r; ++image) {
        const long double first = ranges.GetPrvek(image, 1);
        const long double last = ranges.GetPrvek(image, 2);
        for (long double row = first; row <= last; row += 1.0L) {
            const int r = static_cast<int>(row);
            if (r < 1 || r > points.r || points.s < 1) continue;
            const long double number = points.GetPrvek(r, 1);
            if (std::fabs(number) <= kLargestPointNumber) continue;
            problem.cause = LoadProblem::Cause::PointNumberTooLarge;
            problem.number = number;
            problem.file = static_cast<std::size_t>(image) <= files.size()
                               ? files[static_cast<std::size_t>(image - 1)]
                               : std::string();
            return false;
        }
    }
    return true;
}

}  // namespace

std::string LoadProblemLine(const LoadProblem& problem) {
    switch (problem.cause) {
        case LoadProblem::Cause::None: break;
        case LoadProblem::Cause::Memory: return kMemoryFailureLine;
        case LoadProblem::Cause::PointNumberTooLarge:
            return "Chyba - Číslo bodu " + FormatGeneral(problem.number, '.') + " v souboru " + problem.file +
                   " přesahuje 9223372036854775807 a program by je nerozlišil přesně";
    }
    return {};
}

ControlLoadResult LoadControlPoints(const std::vector<std::string>& files, ProjectState& state) {
    using Status = ControlLoadResult::Status;
    ControlLoadResult result{Status::Failed, 0, {}};
    // Everything is read into tables of this load; the state takes them only
    // when the whole load succeeded.
    const MemoryWatch memory;
    try {
        MatPtr points, counts, ranges;
        const FileSetOutcome outcome = LoadControlFileSet(files, points, counts, ranges);
        if (memory.Tripped()) {
            result.problem.cause = LoadProblem::Cause::Memory;
            return result;
        }
        if (outcome == FileSetOutcome::Refused || !counts) return result;

        // The minimum check runs on what the load counted, also after a failed
        // read (a file that cannot be opened counts 0 lines).
        for (int i = 1; i <= counts->r; ++i) {
            if (counts->GetPrvek(i, 1) < static_cast<long double>(kMinControlPointsPerImage))
                return {Status::TooFewPoints, i, {}};
        }
        if (outcome != FileSetOutcome::Loaded || !points || !ranges) return result;
        if (!PointNumbersExact(*points, *ranges, files, result.problem)) return result;

        const int n = counts->r;
        MatPtr selected = NewMatrix(static_cast<std::uint16_t>(4 * n), 1);
        for (int i = 1; i <= n; ++i) {
            const int first = static_cast<int>(std::lround(ranges->GetPrvek(i, 1)));
            for (int j = 0; j < 4; ++j) selected->SetPrvek(4 * (i - 1) + 1 + j, 1, points->GetPrvek(first + j, 1));
        }
        state.ControlPoints = std::move(points);
        state.ControlPointCounts = std::move(counts);
        state.ControlPointRanges = std::move(ranges);
        state.SelectedOrientationPoints = std::move(selected);
        state.ControlPointsLoaded = true;
        return {Status::Loaded, 0, {}};
    } catch (const std::bad_alloc&) {
        result.problem.cause = LoadProblem::Cause::Memory;
        return result;
    }
}

bool LoadImagePoints(const std::vector<std::string>& files, ProjectState& state, LoadProblem* problem) {
    LoadProblem local;
    LoadProblem& why = problem ? *problem : local;
    why = LoadProblem{};
    const MemoryWatch memory;
    try {
        MatPtr points, counts, ranges;
        const bool ok = LoadImageFiles(files, points, counts, ranges);
        if (memory.Tripped()) {
            why.cause = LoadProblem::Cause::Memory;
            return false;
        }
        if (!ok || !points || !counts || !ranges) return false;
        if (!PointNumbersExact(*points, *ranges, files, why)) return false;
        state.ImagePoints = std::move(points);
        state.ImagePointCounts = std::move(counts);
        state.ImagePointRanges = std::move(ranges);
        state.ImagePointsLoaded = true;
        return true;
    } catch (const std::bad_alloc&) {
        why.cause = LoadProblem::Cause::Memory;
        return false;
    }
}

}  // namespace pelvanor
