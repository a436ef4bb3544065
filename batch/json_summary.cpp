#include "batch/json_summary.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <exception>
#include <filesystem>
#include <system_error>

#include "matrix/text_file.h"
#include "project/failure_causes.h"

namespace pelvanor::batch {

namespace {

using nlohmann::ordered_json;

// Point numbers are whole numbers held as reals.
long long Whole(long double value) { return std::llround(value); }

double Real(long double value) { return static_cast<double>(value); }

const char* StatusName(int exitStatus) {
    if (exitStatus > 128) return "interrupted";
    switch (exitStatus) {
        case kExitDone: return "done";
        case kExitFailed: return "failed";
        default: return "bad_input";
    }
}

// One table of the check point report: what its summary lines print, in
// metres; null when the table is not there (no such check point).
ordered_json CheckPointTable(const CheckPointStatistics& t);

// The values of an adjustment; control_shifts: the shifts of its weighted
// control points (null when it weighted none).
ordered_json Adjustment(const RunSummary::Adjustment& a) {
    return {{"m0", Real(a.m0)},
            {"redundancy", a.redundancy},
            {"iterations", a.iterations},
            {"control_shifts", CheckPointTable(a.controlShifts)}};
}

ordered_json CheckPointTable(const CheckPointStatistics& t) {
    if (t.count == 0) return nullptr;
    return {{"count", t.count},
            {"rms_x", Real(t.rms[0])},
            {"rms_y", Real(t.rms[1])},
            {"rms_z", Real(t.rms[2])},
            {"rms_space", Real(t.rmsSpace)},
            {"largest", Real(t.largest)},
            {"largest_point", Whole(t.largestNumber)}};
}

}  // namespace

const char* SolveName(NormalSolve solve) {
    switch (solve) {
        case NormalSolve::Auto: return "auto";
        case NormalSolve::Svd: return "svd";
        case NormalSolve::Sparse: return "sparse";
    }
    return "auto";
}

std::string JsonSummary(const BatchOptions& options, const RunInputs& inputs, const std::string& outDir,
                        int exitStatus, const RunSummary& summary,
                        const std::vector<BatchHost::AdjustmentRun>& adjustments,
                        const std::vector<std::string>& written, double seconds, const RunNotes& notes) {
    const AdjustmentSettings& s = options.settings;
    ordered_json j;
    j["program"] = "pelvanor-batch";
    j["version"] = PELVANOR_VERSION;
    j["status"] = StatusName(exitStatus);
    j["exit_status"] = exitStatus;
    j["error"] = notes.error.empty() ? ordered_json(nullptr) : ordered_json(notes.error);
    j["command"] = CommandName(options.command);
    j["project"] = options.projectDir.empty() ? ordered_json(nullptr) : ordered_json(options.projectDir);
    j["out"] = outDir;
    j["inputs"] = {{"camera", inputs.camera},
                   {"control", inputs.control},
                   {"images", inputs.images},
                   {"control_accuracy",
                    inputs.controlAccuracy.empty() ? ordered_json(nullptr) : ordered_json(inputs.controlAccuracy)}};
    j["settings_file"] = options.settingsFile.empty() ? ordered_json(nullptr) : ordered_json(options.settingsFile);
    j["decimal"] = std::string(1, options.decimal);
    j["method"] = options.method == 0 ? "plane" : "space";
    j["settings"] = {
        {"max_iterations", s.MaxIterations},
        {"tolerance", Real(s.Tolerance)},
        {"significance_percent", s.SignificancePercent},
        {"robust_weight_percent", s.RobustWeightPercent},
        {"fixed_points", s.FixedPointCount},
        {"point_percent", s.PointPercent},
        {"robust", s.RobustEstimation},
        {"camera_constant", s.AdjustCameraConstant},
        {"solve", SolveName(s.NormalEquations)},
        {"calibrate", CalibrateList(s)},
    };
    {
        const RunSummary::ControlWeightingUsed& w = summary.controlWeighting;
        ordered_json checks = ordered_json::array();
        for (long double point : w.checkPoints) checks.push_back(Whole(point));
        j["control_weighting"] = {
            {"image_sigma", Real(w.imageSigma)},
            {"control_sigma_xy", Real(w.sigmaXY)},
            {"control_sigma_z", Real(w.sigmaZ)},
            {"accuracy_file", w.accuracyFile.empty() ? ordered_json(nullptr) : ordered_json(w.accuracyFile)},
            {"accuracy_lines", w.accuracyLines},
            {"check_points", checks},
        };
    }
    j["counts"] = {
        {"images", summary.images},
        {"control_point_rows", summary.controlPointRows},
        {"image_point_rows", summary.imagePointRows},
    };

    if (summary.hasOrientation) {
        ordered_json m0 = ordered_json::array();
        for (long double v : summary.orientationSigma0) m0.push_back(Real(v));
        j["orientation"] = {{"refinement_iterations", Real(summary.refinementIterations)}, {"m0_per_image", m0}};
    } else {
        j["orientation"] = nullptr;
    }

    if (summary.hasBundle) {
        ordered_json bundle;
        bundle["points"] = summary.bundlePoints;
        bundle["fixed_points"] = s.FixedPointCount;
        bundle["without_camera_constant"] = summary.hasWithoutCameraConstant
                                                ? Adjustment(summary.withoutCameraConstant)
                                                : ordered_json(nullptr);
        bundle["with_camera_constant"] =
            summary.hasCameraConstant ? Adjustment(summary.withCameraConstant) : ordered_json(nullptr);
        ordered_json outliers = ordered_json::array();
        for (long double point : summary.outliers) outliers.push_back(Whole(point));
        bundle["outliers"] = outliers;
        // Every adjustment that ran, in order; the protocol shows the last
        // one without and the last one with the camera constant.
        ordered_json runs = ordered_json::array();
        for (const BatchHost::AdjustmentRun& run : adjustments) {
            runs.push_back({{"adjustment", run.adjustment},
                            {"camera_constant", run.adjustment % 2 == 0},
                            {"without_outliers", run.adjustment >= 3},
                            {"passes", run.passes},
                            {"m0", Real(run.m0)},
                            {"converged", run.converged}});
        }
        bundle["adjustments"] = runs;
        bundle["solved_by_elimination"] = summary.byElimination;
        j["bundle"] = bundle;

        // The check point report, block by block.
        ordered_json checks = ordered_json::array();
        for (const RunSummary::CheckPoints& c : summary.checkPoints) {
            ordered_json block = {{"camera_constant", c.withCameraConstant}};
            if (c.failure != AdjustmentFailure::None) {
                block["failure"] = AdjustmentFailureText(c.failure);
                block["adjusted"] = nullptr;
                block["intersected"] = nullptr;
            } else {
                block["failure"] = nullptr;
                block["adjusted"] = CheckPointTable(c.adjusted);
                block["intersected"] = CheckPointTable(c.intersected);
            }
            checks.push_back(block);
        }
        j["check_points"] = checks;
    } else {
        j["bundle"] = nullptr;
        j["check_points"] = nullptr;
    }

    if (summary.hasCoordinates) {
        ordered_json failed = ordered_json::array();
        for (const RunSummary::FailedPoint& p : summary.failedFTest)
            failed.push_back({{"point", Whole(p.point)}, {"criterion", Real(p.criterion)}, {"quantile", Real(p.quantile)}});
        j["coordinates"] = {
            {"significance_percent", s.SignificancePercent},
            {"computed_points", summary.computedPoints},
            {"passed_points", summary.passedPoints},
            {"failed_f_test", failed},
        };
    } else {
        j["coordinates"] = nullptr;
    }
    // The camera calibration of --command calibration; null otherwise and
    // when it failed.
    if (summary.hasCalibration) {
        ordered_json parameters = ordered_json::array();
        for (const RunSummary::CalibrationParameter& p : summary.calibrationParameters) {
            parameters.push_back({{"name", p.name},
                                  {"value", Real(p.value)},
                                  {"sd", Real(p.sd)},
                                  {"free", p.free},
                                  {"significant", p.significant}});
        }
        ordered_json correlations = ordered_json::array();
        for (const RunSummary::CalibrationCorrelation& c : summary.calibrationCorrelations)
            correlations.push_back({{"a", c.a}, {"b", c.b}, {"r", Real(c.r)}});
        j["calibration"] = {
            {"parameters", parameters},
            {"m0", Real(summary.calibrationM0)},
            {"redundancy", summary.calibrationRedundancy},
            {"iterations", summary.calibrationIterations},
            {"correlations", correlations},
            {"residual_rms", Real(summary.calibrationResidualRms)},
        };
    } else {
        j["calibration"] = nullptr;
    }
    j["warnings"] = notes.warnings;
    j["files"] = written;
    j["wall_time_seconds"] = seconds;
    return j.dump(2) + "\n";
}

bool WriteJsonSummary(const std::string& path, const BatchOptions& options, const RunInputs& inputs,
                      const std::string& outDir, int exitStatus, const RunSummary& summary,
                      const std::vector<BatchHost::AdjustmentRun>& adjustments,
                      const std::vector<std::string>& written, double seconds, const RunNotes& notes,
                      std::string& error) {
    try {
        // The summary may go beside the results, into a folder not made yet.
        const std::filesystem::path parent = std::filesystem::absolute(path).parent_path();
        std::error_code ec;
        std::filesystem::create_directories(parent, ec);
        WriteTextFile(path,
                      JsonSummary(options, inputs, outDir, exitStatus, summary, adjustments, written, seconds, notes),
                      false);
        return true;
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
}

}  // namespace pelvanor::batch
