#include "project/camera_calibration_command.h"

#include <algorithm>
#include <cmath>

#include "adjustment/f_test.h"
#include "input/camera_file.h"
#include "matrix/fp_guard.h"
#include "matrix/text_file.h"
#include "project/bundle_pipeline.h"
#include "project/calibration_report.h"
#include "project/calibration_warnings.h"
#include "project/failure_causes.h"
#include "project/loaders.h"
#include "project/pipeline_end.h"
#include "project/command_reports.h"

namespace pelvanor {

namespace {

constexpr const char* kFailurePrefix = "Chyba - Kalibrace kamery nelze provést - ";

// Root mean squares of the residuals of the measurements `pick` accepts.
template <class Pick>
CalibrationResidualStatistics ResidualStatistics(const std::vector<CalibrationObservation>& meas, std::int32_t image,
                                                 Pick pick) {
    CalibrationResidualStatistics s;
    s.image = image;
    long double sx = 0.0L;
    long double sy = 0.0L;
    for (const CalibrationObservation& o : meas) {
        if (!pick(o)) continue;
        ++s.measurements;
        sx = o.vx * o.vx + sx;
        sy = o.vy * o.vy + sy;
    }
    if (s.measurements > 0) {
        const long double count = static_cast<long double>(s.measurements);
        s.rmsX = std::sqrt(sx / count);
        s.rmsY = std::sqrt(sy / count);
        s.rms = std::sqrt((sx + sy) / (2.0L * count));
    }
    return s;
}

// The largest length of the distortion correction of `camera` over the
// measured area, on a 41 x 41 grid (corners included) and at every measured
// point; the first grid point (the area's corner) when it is nowhere larger.
DistortionMaximum LargestCorrection(const CameraParameters& camera, const CameraCalibrationResult& r) {
    DistortionMaximum best;
    bool first = true;
    const auto consider = [&](long double x, long double y) {
        long double dx = 0.0L;
        long double dy = 0.0L;
        DistortionCorrection(camera, x, y, dx, dy);
        const long double length = std::sqrt(dx * dx + dy * dy);
        // The first place stands for all when the correction is zero everywhere.
        if (first || length > best.length) best = {length, x, y};
        first = false;
    };
    constexpr int kGrid = 40;
    for (int i = 0; i <= kGrid; ++i) {
        for (int j = 0; j <= kGrid; ++j) {
            const long double x = r.areaXmin + (r.areaXmax - r.areaXmin) * static_cast<long double>(i) / kGrid;
            const long double y = r.areaYmin + (r.areaYmax - r.areaYmin) * static_cast<long double>(j) / kGrid;
            consider(x, y);
        }
    }
    for (const CalibrationObservation& o : r.summary.measurements) consider(o.x, o.y);
    return best;
}

// The figures of the protocol from the adjustment's summary.
CameraCalibrationResult MakeResult(const ProjectState& state, const CameraParameters& before,
                                   CalibrationSummary summary) {
    CameraCalibrationResult r;
    r.before = before;
    r.summary = std::move(summary);
    r.images = state.BundleImageIndex ? state.BundleImageIndex->r : 0;
    r.points = state.BundleObservationTable ? state.BundleObservationTable->r : 0;
    std::int32_t controlRows = 0;
    if (state.BundleObservationTable) {
        const Matice& list = *state.BundleObservationTable;
        for (std::int32_t i = 1; i <= list.r; ++i) {
            for (std::int32_t col = 3; col <= list.s; col += 2) {
                if (std::llround(list.GetPrvek(i, col)) < 0) controlRows = i;
            }
        }
    }
    r.fixedPoints = std::clamp(state.Settings.FixedPointCount, 0, controlRows);

    // Significance: |value| / sd against the two-sided t quantile, from
    // t^2 = F(1, redundancy) at the level in percent.
    r.significancePercent = state.Settings.SignificancePercent;
    long double quantile = 0.0L;
    if (r.summary.redundancy > 0 &&
        FQuantileAccurate(quantile, 1.0L, static_cast<long double>(r.summary.redundancy),
                          static_cast<long double>(r.significancePercent)) &&
        quantile > 0.0L) {
        r.criticalRatio = std::sqrt(quantile);
    }
    for (int j = 0; j < kCameraParameterCount; ++j) {
        const auto sj = static_cast<std::size_t>(j);
        if (!r.summary.free[sj] || !(r.summary.sd[sj] > 0.0L)) continue;
        r.ratio[sj] = std::fabs(CameraParameterValue(r.summary.camera, j)) / r.summary.sd[sj];
        r.significant[sj] = r.criticalRatio > 0.0L && r.ratio[sj] > r.criticalRatio;
    }

    const auto& meas = r.summary.measurements;
    for (std::int32_t image = 1; image <= r.images; ++image) {
        r.perImage.push_back(
            ResidualStatistics(meas, image, [image](const CalibrationObservation& o) { return o.image == image; }));
    }
    r.overall = ResidualStatistics(meas, 0, [](const CalibrationObservation&) { return true; });

    std::vector<CalibrationResidual> all;
    all.reserve(meas.size());
    for (const CalibrationObservation& o : meas) {
        all.push_back({o.point, o.image, o.vx, o.vy, std::sqrt(o.vx * o.vx + o.vy * o.vy)});
    }
    // Largest first; equal lengths in observation order.
    std::stable_sort(all.begin(), all.end(),
                     [](const CalibrationResidual& a, const CalibrationResidual& b) { return a.length > b.length; });
    if (all.size() > 10) all.resize(10);
    r.largest = all;

    if (!meas.empty()) {
        r.areaXmin = r.areaXmax = meas.front().x;
        r.areaYmin = r.areaYmax = meas.front().y;
        for (const CalibrationObservation& o : meas) {
            r.areaXmin = std::min(r.areaXmin, o.x);
            r.areaXmax = std::max(r.areaXmax, o.x);
            r.areaYmin = std::min(r.areaYmin, o.y);
            r.areaYmax = std::max(r.areaYmax, o.y);
        }
    }
    r.distortionBefore = LargestCorrection(r.before, r);
    r.distortionAfter = LargestCorrection(r.summary.camera, r);
    return r;
}

// The calibration itself, after a successful bundle pipeline: true with the
// result in state.Calibration, false after its failure line.
bool Calibrate(ProjectState& state, CommandHost& host) {
    if (!state.ControlPoints || !state.ImagePoints || !state.BundleUnknowns || !state.BundleObservationTable ||
        !state.BundleImageIndex || !state.BundlePointIndex) {
        // The adjustment without the camera constant failed although the
        // pipeline counted as computed: it is the calibration's start.
        host.WriteLog(std::string(kFailurePrefix) + "svazkové vyrovnání bez konstanty komory " +
                      AdjustmentFailureText(state.BundleFailure == AdjustmentFailure::None ? AdjustmentFailure::Other
                                                                                           : state.BundleFailure));
        return false;
    }
    const AdjustmentSettings& set = state.Settings;
    CalibrationOptions options;
    options.Free = CalibrationFreeParameters(set);
    options.MaxIterations = set.MaxIterations;
    options.Tolerance = set.Tolerance;
    options.Solve = set.NormalEquations;
    // The control as the bundle pipeline just weighted it.
    options.Weighting = &state.BundleWeighting;
    options.Message = [&host](const std::string& text) { host.ShowMessage(text); };
    ComputationProgress progress{ComputationStage::Calibration};
    host.ReportProgress(progress);
    options.PassStarting = [&host, &progress](std::int32_t pass, long double m0) {
        return ReportPassStart(host, progress, pass, m0);
    };
    options.PassDone = [&host, &progress](std::int32_t pass, long double m0) {
        ReportPassEnd(host, progress, pass, m0);
    };

    const CameraParameters before = state.Camera;
    CalibrationSummary summary;
    const MemoryWatch memory;
    const bool ok = CalibrateCamera(state.ControlPoints.get(), state.ImagePoints.get(),
                                    state.BundleObservationTable.get(), state.BundleUnknowns.get(),
                                    state.BundleImageIndex.get(), state.BundlePointIndex.get(), before,
                                    set.FixedPointCount, options, summary);
    if (host.CancelRequested()) return false;
    if (!ok || memory.Tripped()) {
        if (memory.Tripped()) {
            host.WriteLog(kMemoryFailureLine);
            state.FailureCauseLogged = true;
        } else {
            host.WriteLog(std::string(kFailurePrefix) + "vyrovnání " + AdjustmentFailureText(summary.failure));
        }
        return false;
    }
    bool made = false;
    try {
        state.Calibration = MakeResult(state, before, std::move(summary));
        made = true;
    } catch (const std::bad_alloc&) {
        host.WriteLog(kMemoryFailureLine);
    }
    return made;
}

}  // namespace

CameraParameterFlags CalibrationFreeParameters(const AdjustmentSettings& s) {
    return {s.CalibrateF, s.CalibratePrincipalPoint, s.CalibratePrincipalPoint, s.CalibrateK1,
            s.CalibrateK2, s.CalibrateK3, s.CalibrateDecentring, s.CalibrateDecentring};
}

bool CalibrationCommand(ProjectState& state, CommandHost& host) {
    state.OrientationLogged = false;
    state.CancelLogged = false;
    state.FailureCauseLogged = false;
    // Nothing of an earlier calibration passes for this one's result.
    state.Calibration.reset();
    const bool bundleOk = BundlePipeline(state, host);
    ReportAfterComputation(state, host, ComputingCommand::Bundle, bundleOk);

    bool ok = false;
    if (!detail::StopRequested(state, host)) {
        if (!bundleOk) {
            host.WriteLog(std::string(kFailurePrefix) + "svazkové vyrovnání nelze provést");
        } else {
            const detail::StopQuestion stopQuestion(host);
            ok = Calibrate(state, host);
        }
    }
    if (detail::StopRequested(state, host)) ok = false;
    if (ok) {
        host.WriteLog(kCalibrationDoneLine);
        for (const std::string& line : CalibrationWarnings(state, host.DecimalSeparator())) host.WriteLog(line);
        host.SetItemEnabled(UiItem::Protokoly1, true);
    } else {
        state.Calibration.reset();
    }
    for (UiItem item : kCalibrationResultItems) host.SetItemEnabled(item, ok);
    return ok;
}

bool AdoptCalibratedCameraCommand(ProjectState& state, CommandHost& host) {
    if (!state.Calibration) return false;
    state.Camera = state.Calibration->summary.camera;
    host.ShowCameraFields(CameraFieldTextsOf(state.Camera, host.DecimalSeparator()));
    host.WriteLog(kCalibrationAdoptedLine);
    return true;
}

std::vector<std::string> ShowCalibrationResults(const ProjectState& state, const CommandHost& host) {
    if (!state.Calibration) return {};
    return CalibrationReportLines(*state.Calibration, host.DecimalSeparator());
}

void SaveCalibrationProtocol(const ProjectState& state, CommandHost& host, const std::string& chosenFileName) {
    if (!state.Calibration) return;
    WriteTextLines(chosenFileName, CalibrationReportLines(*state.Calibration, host.DecimalSeparator()), false);
    host.WriteLog("Uložen protokol kalibrace kamery: " + chosenFileName);
}

bool SaveCalibratedCamera(const ProjectState& state, CommandHost& host, const std::string& chosenFileName) {
    if (!state.Calibration) return false;
    // The camera file's own notation: "." whatever the locale.
    if (!WriteCameraFile(chosenFileName, CameraFieldTextsOf(state.Calibration->summary.camera, '.'), '.')) {
        return false;
    }
    host.WriteLog("Uložen soubor: " + chosenFileName);
    return true;
}

}  // namespace pelvanor
