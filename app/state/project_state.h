#pragma once
// Everything the program keeps between two commands.  Plain data, no Qt:
// the computing pipelines work on it and are tested without a window.

#include <cstdint>
#include <string>

#include "matrix/matice.h"

namespace pelvanor {

// Interior orientation and lens distortion, in the units of the image
// coordinates (the program converts nothing).
struct CameraParameters {
    long double x0 = 0.0L;
    long double y0 = 0.0L;
    long double f = 0.0L;
    long double k1 = 0.0L;
    long double k2 = 0.0L;
    long double k3 = 0.0L;
    long double p1 = 0.0L;
    long double p2 = 0.0L;
};

struct AdjustmentSettings {
    std::int32_t PointPercent = 50;
    std::int32_t FixedPointCount = 4;
    std::int32_t RobustWeightPercent = 50;
    std::int32_t SignificancePercent = 5;
    std::int32_t MaxIterations = 20;
    long double Tolerance = 0.1L;
    bool RobustEstimation = true;
    bool AdjustCameraConstant = true;
};

struct ProjectState {
    CameraParameters Camera;
    AdjustmentSettings Settings;

    bool CameraLoaded = false;
    bool ControlPointsLoaded = false;
    bool ImagePointsLoaded = false;
    bool OrientationLogged = false;

    long double RefinementIterations = 0.0L;
    std::int32_t BundleRedundancy = 0;
    std::int32_t BundleRedundancyF = 0;
    std::int32_t BundleIterations = 0;
    std::int32_t BundleIterationsF = 0;
    long double BundleSigma0 = 0.0L;
    long double BundleSigma0F = 0.0L;

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
    MatPtr BundleUnknowns;
    MatPtr BundleUnknownsF;
    MatPtr BundleImageIndex;
    MatPtr BundleImageIndexF;
    MatPtr BundleObservationTable;
    MatPtr BundlePointIndex;
    MatPtr ObjectPoints;
    MatPtr FTestResults;
    MatPtr FTestPassed;

    // Releases every matrix in the order the program uses when the main
    // window closes, then the ones that would otherwise end with the process.
    void ReleaseAll();
};

// Menu items and buttons whose enabled state the commands switch.
enum class UiItem {
    Nastkameru1, Uloitkameru1, Nastorientaci1, Nastsnmkovsouadnice1, Konec1,
    N1, Opravadistorze1, Snmkovsouadnice1, Orientace1, Piblinvnjorientace1,
    Svazkovvyrovnn1, SouadniceXYZ1,
    Opravensnmkovsouadnice1, Snmkovsouadnice2, Orientace2, Piblineenvnjorientace1,
    Svazkovvyrovnn2, SouadniceXYZ2, Protokoly1, Kompletn1, Pouzesouadnice1,
    Help1, BitBtn2,
};

// What a command needs from the window, without Qt: the log writer, the
// enabled state of the menu items, the camera fields and the method combo
// box.  The main window implements it; tests use a fake.
class CommandHost {
public:
    virtual ~CommandHost() = default;
    // One log line (UTF-8); the window adds the time and repaints.
    virtual void WriteLog(const std::string& message) = 0;
    virtual void SetItemEnabled(UiItem item, bool enabled) = 0;
    virtual bool IsItemEnabled(UiItem item) const = 0;
    // Parses the eight camera fields into state.Camera (partial update on
    // failure, see ReadCameraFields).
    virtual bool ReadCameraFields() = 0;
    // Index of ComboBox1: 0 four points in the plane Z = 0, 1 in space.
    virtual int OrientationMethod() const = 0;
    // The locale's decimal separator for the protocol numbers.
    virtual char DecimalSeparator() const = 0;
    // A modal message box with the text (UTF-8), such as the bundle
    // adjustment's notice of more unknowns than observations; the command
    // goes on after it.  Hosts without a window may ignore it.
    virtual void ShowMessage(const std::string& text) { (void)text; }
    // Called between the passes of a long computation so that the window
    // can repaint; must leave the floating-point fault flags as it found
    // them.  Hosts without a window do nothing.
    virtual void KeepResponsive() {}
};

}  // namespace pelvanor
