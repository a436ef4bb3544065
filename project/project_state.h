#pragma once
// Everything the program keeps between two commands.  Plain data, no Qt:
// the computing pipelines work on it and are tested without a window.

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "adjustment/bundle_adjustment.h"
#include "matrix/matice.h"
#include "matrix/project_parameters.h"
#include "project/calibration_result.h"

namespace pelvanor {

struct ProjectState {
    CameraParameters Camera;
    AdjustmentSettings Settings;

    bool CameraLoaded = false;
    bool ControlPointsLoaded = false;
    bool ImagePointsLoaded = false;
    bool OrientationLogged = false;
    // The running command has written the line of a stop the user asked
    // for; cleared by every computing command at its start.
    bool CancelLogged = false;
    // Set when a failing command has already logged its cause (memory, an
    // adjustment whose results were released); the search for the cause
    // after the command then adds nothing.  Cleared by each computing command.
    bool FailureCauseLogged = false;

    long double RefinementIterations = 0.0L;
    std::int32_t BundleRedundancy = 0;
    std::int32_t BundleRedundancyF = 0;
    std::int32_t BundleIterations = 0;
    std::int32_t BundleIterationsF = 0;
    long double BundleSigma0 = 0.0L;
    long double BundleSigma0F = 0.0L;
    // Whether a pass of the last bundle adjustment run took its correction
    // from the point elimination rather than the pseudo-inverse; the log
    // and the batch command's summary say so.
    bool BundleByElimination = false;
    // Why the last run of the adjustment without (with) the camera constant
    // failed in a bundle adjustment that counted as computed; its results
    // are then released, and the protocols say why in place of its block.
    // None when its results are kept or it did not run.
    AdjustmentFailure BundleFailure = AdjustmentFailure::None;
    AdjustmentFailure BundleFailureF = AdjustmentFailure::None;
    // Whether the last run of each bundle adjustment ended on its pass limit
    // with the change test unmet; read by the warnings after a command.
    bool BundlePassLimitReached = false;
    bool BundlePassLimitReachedF = false;

    // The control accuracy file ("Soubor" > "Načíst přesnost vlícovacích
    // bodů", presnost.txt of a project folder): its lines by point number,
    // overriding the control sigmas of the settings; empty when none was
    // loaded.  ControlAccuracyFile names the file.
    std::map<std::int64_t, ControlPointAccuracy> ControlAccuracy;
    std::string ControlAccuracyFile;
    // The weighting of the control that the last bundle adjustment ran
    // with (settings and file), read by its reports.
    ControlWeighting BundleWeighting;

    // Input data.
    MatPtr ImagePoints;
    MatPtr ImagePointCounts;
    MatPtr ImagePointRanges;
    MatPtr ControlPoints;
    MatPtr ControlPointCounts;
    MatPtr ControlPointRanges;
    MatPtr SelectedOrientationPoints;

    // Corrected data.
    MatPtr ImagePointsCorrected;
    MatPtr ControlPointsCorrected;

    // Approximate orientation.
    MatPtr ImagePointIds;
    MatPtr ControlPointIds;
    MatPtr TiePointImageCounts;
    MatPtr TiePointOccurrences;
    MatPtr ControlPointImageCounts;
    MatPtr ControlPointOccurrences;
    MatPtr OrientationMinimal;
    MatPtr OrientationRefined;
    MatPtr OrientationSigma0;

    // Bundle adjustment and object coordinates.
    MatPtr ApproxObjectPoints;
    MatPtr BundlePointOccurrences;
    MatPtr BundlePointImageCounts;
    MatPtr RobustPointOccurrences;
    MatPtr RobustPointImageCounts;
    MatPtr RobustOutliers;
    MatPtr BundleWeights;
    MatPtr BundleWeightsF;
    // Residuals of the kept adjustments, without and with the camera
    // constant: one (vx, vy) pair per measurement, in the order of the
    // observation rows (rows 2h-1, 2h of the weights belong to row h), of
    // the last adjustment on the current BundleObservationTable; computed
    // minus measured in the corrected image frame (y axis up).  Null when
    // that adjustment did not run or failed.
    MatPtr BundleResiduals;
    MatPtr BundleResidualsF;
    MatPtr BundleUnknowns;
    MatPtr BundleUnknownsF;
    // Standard deviations of X0 Y0 Z0 alfa beta gama f of every image (m x 7)
    // of the adjustment with the camera constant, from its cofactor matrix;
    // set with BundleUnknownsF, absent when they could not be computed.
    MatPtr BundleDeviationsF;
    MatPtr BundleImageIndex;
    MatPtr BundleImageIndexF;
    MatPtr BundleObservationTable;
    MatPtr BundlePointIndex;
    MatPtr ObjectPoints;
    MatPtr FTestResults;
    MatPtr FTestPassed;

    // The last successful "Kalibrace kamery"; empty before one and after a
    // failed one (nothing of a failed calibration is kept).
    std::optional<CameraCalibrationResult> Calibration;

    // Releases every matrix in the order the program uses when the main
    // window closes, then the ones that would otherwise end with the process.
    void ReleaseAll();

    // Releases every result: everything but the input tables and the
    // choice of the orientation points, with the scalar results and the
    // per-command flags back at their start values.  The camera, the
    // settings and the loaded inputs stay.
    void ReleaseResults();
};

}  // namespace pelvanor
