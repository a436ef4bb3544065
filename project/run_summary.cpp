#include "project/run_summary.h"

#include <cmath>
#include <set>

#include "project/check_points.h"
#include "project/weighted_control.h"
#include "protocol/report_layout.h"

namespace pelvanor {

namespace {

long long PointId(long double value) { return std::llround(value); }

}  // namespace

RunSummary SummarizeRun(const ProjectState& s) {
    RunSummary out;
    out.images = RowCount(s.ControlPointRanges.get());
    out.controlPointRows = RowCount(s.ControlPoints.get());
    out.imagePointRows = s.ImagePointsLoaded ? RowCount(s.ImagePoints.get()) : 0;

    if (s.Calibration) {
        const CameraCalibrationResult& r = *s.Calibration;
        out.hasCalibration = true;
        for (int j = 0; j < kCameraParameterCount; ++j) {
            const auto sj = static_cast<std::size_t>(j);
            out.calibrationParameters.push_back({CameraParameterName(j), CameraParameterValue(r.summary.camera, j),
                                                 r.summary.sd[sj], r.summary.free[sj], r.significant[sj]});
        }
        for (int a = 0; a < kCameraParameterCount; ++a) {
            for (int b = a + 1; b < kCameraParameterCount; ++b) {
                const long double rho = r.summary.correlation[static_cast<std::size_t>(a)][static_cast<std::size_t>(b)];
                if (std::fabs(rho) > 0.9L)
                    out.calibrationCorrelations.push_back({CameraParameterName(a), CameraParameterName(b), rho});
            }
        }
        out.calibrationM0 = r.summary.m0;
        out.calibrationRedundancy = r.summary.redundancy;
        out.calibrationIterations = r.summary.passes;
        out.calibrationResidualRms = r.overall.rms;
    }
    out.controlWeighting.imageSigma = s.Settings.ImageSigma;
    out.controlWeighting.sigmaXY = s.Settings.ControlSigmaXY;
    out.controlWeighting.sigmaZ = s.Settings.ControlSigmaZ;
    out.controlWeighting.accuracyFile = s.ControlAccuracyFile;
    out.controlWeighting.accuracyLines = static_cast<int>(s.ControlAccuracy.size());
    for (const auto& [number, accuracy] : s.ControlAccuracy)
        if (accuracy.check) out.controlWeighting.checkPoints.push_back(static_cast<long double>(number));

    if (s.OrientationRefined && s.OrientationSigma0) {
        out.hasOrientation = true;
        out.refinementIterations = s.RefinementIterations;
        for (int i = 1; i <= s.OrientationSigma0->r; ++i)
            out.orientationSigma0.push_back(s.OrientationSigma0->GetPrvek(i, 1));
    }

    // The protocol's rule: the block with the camera constant only when that
    // setting is on and its results exist; either kind may have been
    // released after its last run failed.
    out.hasWithoutCameraConstant = s.BundleUnknowns != nullptr;
    out.hasCameraConstant = s.Settings.AdjustCameraConstant && s.BundleUnknownsF != nullptr;
    if (out.hasWithoutCameraConstant || out.hasCameraConstant) {
        out.hasBundle = true;
        out.bundlePoints = TableEntryCount(s.BundlePointOccurrences.get());
        if (out.hasWithoutCameraConstant)
            out.withoutCameraConstant = {s.BundleSigma0, s.BundleRedundancy, s.BundleIterations,
                                         WeightedControlStatistics(WeightedControlPoints(s, false))};
        if (out.hasCameraConstant)
            out.withCameraConstant = {s.BundleSigma0F, s.BundleRedundancyF, s.BundleIterationsF,
                                      WeightedControlStatistics(WeightedControlPoints(s, true))};
        if (s.Settings.RobustEstimation && s.RobustOutliers) {
            const int k = TableEntryCount(s.RobustOutliers.get());
            for (int j = 1; j <= k; ++j) out.outliers.push_back(s.RobustOutliers->GetPrvek(j, 1));
        }
        out.byElimination = s.BundleByElimination;
        for (const CheckPointBlock& block : CheckPointBlocks(s)) {
            RunSummary::CheckPoints entry;
            entry.withCameraConstant = block.withCameraConstant;
            entry.failure = block.failure;
            entry.adjusted = CheckPointStatisticsOf(block.adjusted);
            entry.intersected = CheckPointStatisticsOf(block.intersected);
            out.checkPoints.push_back(entry);
        }
    }

    if (s.ObjectPoints) {
        out.hasCoordinates = true;
        out.computedPoints = RowCount(s.ObjectPoints.get());
        out.passedPoints = TableEntryCount(s.FTestPassed.get());
        std::set<long long> passed;
        for (int i = 1; i <= out.passedPoints; ++i) passed.insert(PointId(s.FTestPassed->GetPrvek(i, 1)));
        const Matice& points = *s.ObjectPoints;
        const Matice* test = s.FTestResults.get();
        for (int i = 1; i <= points.r; ++i) {
            if (passed.count(PointId(points.GetPrvek(i, 1))) != 0) continue;
            RunSummary::FailedPoint failed;
            failed.point = points.GetPrvek(i, 1);
            if (test != nullptr && i <= test->r && test->s >= 2) {
                failed.criterion = test->GetPrvek(i, 1);
                failed.quantile = test->GetPrvek(i, 2);
            }
            out.failedFTest.push_back(failed);
        }
    }
    return out;
}

}  // namespace pelvanor
