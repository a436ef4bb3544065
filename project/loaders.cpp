#include "project/loaders.h"

#include <cmath>
#include <new>

#include "input/camera_file.h"
#include "input/control_file.h"
#include "input/image_file.h"
#include "input/number_parse.h"
#include "matrix/arithmetic.h"
#include "project/failure_causes.h"
#include "project/command_reports.h"
#include "project/failure_diagnosis.h"
#include "protocol/number_format.h"

namespace pelvanor {

namespace {

// Menu items switched on by the loaders.  Nothing here disables the
// computing commands once they are on.

void EnableAfterCameraLoad(const ProjectState& state, CommandHost& host) {
    if (!state.ControlPointsLoaded) return;
    host.SetItemEnabled(UiItem::Opravadistorze1, true);
    host.SetItemEnabled(UiItem::Piblinvnjorientace1, true);
    if (state.ImagePointsLoaded) {
        host.SetItemEnabled(UiItem::Svazkovvyrovnn1, true);
        host.SetItemEnabled(UiItem::Kalibracekamery1, true);
        host.SetItemEnabled(UiItem::SouadniceXYZ1, true);
    }
}

void EnableAfterControlPointLoad(const ProjectState& state, CommandHost& host) {
    host.SetItemEnabled(UiItem::Orientace1, true);
    if (!state.CameraLoaded) return;
    host.SetItemEnabled(UiItem::Opravadistorze1, true);
    host.SetItemEnabled(UiItem::Piblinvnjorientace1, true);
    // "Snímkové souřadnice" is on exactly when the last image coordinate
    // load succeeded.
    if (host.IsItemEnabled(UiItem::Snmkovsouadnice1)) {
        host.SetItemEnabled(UiItem::Svazkovvyrovnn1, true);
        host.SetItemEnabled(UiItem::Kalibracekamery1, true);
        host.SetItemEnabled(UiItem::SouadniceXYZ1, true);
    }
}

void EnableAfterImagePointLoad(const ProjectState& state, CommandHost& host) {
    host.SetItemEnabled(UiItem::Snmkovsouadnice1, true);
    if (!state.CameraLoaded) return;
    host.SetItemEnabled(UiItem::Opravadistorze1, true);
    // "Orientace" is on exactly when the last control point load succeeded.
    if (host.IsItemEnabled(UiItem::Orientace1)) {
        host.SetItemEnabled(UiItem::Piblinvnjorientace1, true);
        host.SetItemEnabled(UiItem::Svazkovvyrovnn1, true);
        host.SetItemEnabled(UiItem::Kalibracekamery1, true);
        host.SetItemEnabled(UiItem::SouadniceXYZ1, true);
    }
}

}  // namespace

CameraFieldTexts CameraFieldTextsOf(const CameraParameters& camera, char decimal) {
    return {FormatGeneral(camera.f, decimal),  FormatGeneral(camera.x0, decimal),
            FormatGeneral(camera.y0, decimal), FormatGeneral(camera.k1, decimal),
            FormatGeneral(camera.k2, decimal), FormatGeneral(camera.k3, decimal),
            FormatGeneral(camera.p1, decimal), FormatGeneral(camera.p2, decimal)};
}

bool ReadCameraFieldTexts(const CameraFieldTexts& texts, char decimal, CameraParameters& camera) {
    // Field order LabeledEdit1 .. LabeledEdit8; each value is stored as soon
    // as it is parsed, so a bad field leaves the earlier ones updated.
    long double* targets[8] = {&camera.f, &camera.x0, &camera.y0, &camera.k1,
                               &camera.k2, &camera.k3, &camera.p1, &camera.p2};
    for (std::size_t i = 0; i < 8; ++i) {
        long double value = 0.0L;
        if (!ParseFieldNumber(texts[i], decimal, value)) return false;
        *targets[i] = value;
    }
    return true;
}

bool LoadCameraFile(const std::string& path, ProjectState& state, ReadError* error) {
    state.CameraLoaded = ReadCameraFile(path, state.Camera, error);
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
    ControlLoadResult result;
    // Everything is read into tables of this load; the state takes them only
    // when the whole load succeeded.
    const MemoryWatch memory;
    try {
        MatPtr points, counts, ranges;
        const FileSetOutcome outcome = LoadControlFileSet(files, points, counts, ranges, &result.read);
        if (memory.Tripped()) {
            result.problem.cause = LoadProblem::Cause::Memory;
            return result;
        }
        if (outcome == FileSetOutcome::Refused || !counts) return result;

        // The minimum check runs on what the load counted, also after a failed
        // read (a file that cannot be opened counts 0 lines).
        for (int i = 1; i <= counts->r; ++i) {
            if (counts->GetPrvek(i, 1) < static_cast<long double>(kMinControlPointsPerImage)) {
                result.status = Status::TooFewPoints;
                result.image = i;
                return result;
            }
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
        result.status = Status::Loaded;
        return result;
    } catch (const std::bad_alloc&) {
        result.problem.cause = LoadProblem::Cause::Memory;
        return result;
    }
}

bool LoadImagePoints(const std::vector<std::string>& files, ProjectState& state, LoadProblem* problem,
                     FileSetReport* read) {
    LoadProblem local;
    LoadProblem& why = problem ? *problem : local;
    why = LoadProblem{};
    const MemoryWatch memory;
    try {
        MatPtr points, counts, ranges;
        const bool ok = LoadImageFiles(files, points, counts, ranges, read);
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

bool LoadCameraCommand(const std::string& file, ProjectState& state, CommandHost& host) {
    // On failure the values read before the error stay in the record, the
    // fields and the menu stay as they were, and CameraLoaded is cleared.
    ReadError error;
    if (!LoadCameraFile(file, state, &error)) {
        // The file, the line and the reason first, then the failure line.
        const std::string cause = LoadFailureCause(error);
        if (!cause.empty()) host.WriteLog(cause);
        host.WriteLog("Chyba - Parametry kamery nenačteny");
        return false;
    }
    host.ShowCameraFields(CameraFieldTextsOf(state.Camera, host.DecimalSeparator()));
    host.WriteLog("Načten soubor: " + file);
    host.WriteLog("Parametry kamery načteny");
    EnableAfterCameraLoad(state, host);
    return true;
}

bool SaveCameraCommand(const CameraFieldTexts& texts, const std::function<bool(std::string& file)>& chooseFile,
                       CommandHost& host) {
    const char* const refused = "Chyba - Špatně zadané hodnoty parametrů kamery";
    const char decimal = host.DecimalSeparator();
    // Every field must read as a number in the user's notation before a
    // file is asked for; nothing is stored.
    if (!CameraTextsSavable(texts, decimal)) {
        host.WriteLog(refused);
        return false;
    }
    std::string file;
    if (!chooseFile(file)) return false;
    if (!WriteCameraFile(file, texts, decimal)) {
        host.WriteLog(refused);
        return false;
    }
    host.WriteLog("Uložen soubor: " + file);
    return true;
}

ControlLoadResult LoadControlPointsCommand(const std::vector<std::string>& chosen,
                                           const std::vector<std::string>& sorted, ProjectState& state,
                                           CommandHost& host) {
    for (const std::string& file : chosen) {
        host.WriteLog("Načten soubor: " + file);
        host.SetItemEnabled(UiItem::BitBtn2, true);
    }
    // Fills the control point tables, checks that every image has four
    // control points and presets the first four of each as its orientation
    // points.
    const ControlLoadResult result = LoadControlPoints(sorted, state);
    if (result.status == ControlLoadResult::Status::TooFewPoints) {
        host.ShowMessage("Chyba v minimálním počtu vlícovacích bodů - snímek " + std::to_string(result.image));
    }
    if (result.status != ControlLoadResult::Status::Loaded) {
        // The state keeps the previous control points; the cause first,
        // where the program knows it.
        if (const std::string cause = LoadProblemLine(result.problem); !cause.empty()) host.WriteLog(cause);
        host.WriteLog("Chyba - Vlícovací body nenačteny do programu");
        host.SetItemEnabled(UiItem::BitBtn2, false);
        host.SetItemEnabled(UiItem::Orientace1, false);
        ReportAfterLoad(result.read, true, false, state, host);
        return result;
    }
    host.ShowImageList(static_cast<int>(chosen.size()));
    host.WriteLog("Vlícovací body načteny do programu");
    EnableAfterControlPointLoad(state, host);
    ReportAfterLoad(result.read, true, true, state, host);
    return result;
}

bool LoadImagePointsCommand(const std::vector<std::string>& chosen, const std::vector<std::string>& sorted,
                            ProjectState& state, CommandHost& host) {
    for (const std::string& file : chosen) host.WriteLog("Načten soubor: " + file);
    // On failure the state keeps the previous image coordinates and
    // ImagePointsLoaded keeps its value.
    LoadProblem problem;
    FileSetReport read;
    if (!LoadImagePoints(sorted, state, &problem, &read)) {
        if (const std::string cause = LoadProblemLine(problem); !cause.empty()) host.WriteLog(cause);
        host.WriteLog("Chyba - Snímkové souřadnice nenačteny");
        host.SetItemEnabled(UiItem::Snmkovsouadnice1, false);
        ReportAfterLoad(read, false, false, state, host);
        return false;
    }
    host.WriteLog("Snímkové souřadnice načteny do programu");
    EnableAfterImagePointLoad(state, host);
    ReportAfterLoad(read, false, true, state, host);
    return true;
}

}  // namespace pelvanor
