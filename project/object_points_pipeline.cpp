#include "project/object_points_pipeline.h"

#include "project/pipeline_end.h"
#include "adjustment/f_test.h"
#include "adjustment/intersection.h"
#include "project/bundle_pipeline.h"
#include "project/camera_fields.h"
#include "project/failure_causes.h"
#include "project/orientation_pipeline.h"
#include "project/command_reports.h"
#include "protocol/report_layout.h"

namespace pelvanor {

namespace {

// The result items the object coordinates feed, the protocols among them.
constexpr UiItem kCoordinateResultItems[] = {
    UiItem::SouadniceXYZ2,   UiItem::Protokoly1,           UiItem::Kompletn1,
    UiItem::Pouzesouadnice1, UiItem::Svazkovvyrovnn2,      UiItem::Piblineenvnjorientace1,
    UiItem::Opravensnmkovsouadnice1, UiItem::Snmkovsouadnice2, UiItem::Orientace2,
    UiItem::Kontrolnbody1, UiItem::Kontrolnbody2, UiItem::Exportovatbody1,
};

// Intersection and F-test from the current bundle results.
bool ComputeAndTest(ProjectState& s) {
    const AdjustmentSettings& set = s.Settings;
    const CameraParameters& c = s.Camera;
    // Nothing measured on two images: no point can be intersected, and a
    // run that computed nothing must not be reported as done.
    if (TableEntryCount(s.TiePointOccurrences.get()) == 0) return false;

    // The start values come from the orientations without the camera
    // constant; when that adjustment was released (it failed, and the one
    // with the camera constant is the one used) its rows of X0 .. gama in
    // the unknowns with the camera constant serve the same purpose.
    const bool startWithF = !s.BundleUnknowns && set.AdjustCameraConstant;
    if (!ApproximatePointsFromBundle(s.TiePointOccurrences.get(), s.TiePointImageCounts.get(),
                                     s.ImagePointsCorrected.get(),
                                     startWithF ? s.BundleUnknownsF.get() : s.BundleUnknowns.get(),
                                     startWithF ? s.BundleImageIndexF.get() : s.BundleImageIndex.get(),
                                     c.x0, c.y0, c.f, s.ApproxObjectPoints))
        return false;

    const long double percent = static_cast<long double>(set.SignificancePercent);
    bool xyz = false;
    bool test = false;
    if (set.AdjustCameraConstant) {
        xyz = IntersectPointsWithF(s.ImagePointsCorrected.get(), s.TiePointOccurrences.get(),
                                   s.TiePointImageCounts.get(), s.ApproxObjectPoints.get(),
                                   s.BundleUnknownsF.get(), s.BundleImageIndexF.get(), set.Tolerance,
                                   c.x0, c.y0, set.MaxIterations, s.ObjectPoints);
        // The test runs also after a failed intersection.
        test = FTest(s.ObjectPoints.get(), s.TiePointImageCounts.get(), s.FTestPassed, percent,
                     s.BundleSigma0F, s.FTestResults);
    } else {
        xyz = IntersectPoints(s.ImagePointsCorrected.get(), s.TiePointOccurrences.get(),
                              s.TiePointImageCounts.get(), s.ApproxObjectPoints.get(),
                              s.BundleUnknowns.get(), s.BundleImageIndex.get(), set.Tolerance, c.x0,
                              c.y0, c.f, set.MaxIterations, s.ObjectPoints);
        test = FTest(s.ObjectPoints.get(), s.TiePointImageCounts.get(), s.FTestPassed, percent,
                     s.BundleSigma0, s.FTestResults);
    }
    return xyz && test;
}

}  // namespace

bool ObjectPointsPipeline(ProjectState& s, CommandHost& host) {
    const detail::StopQuestion stopQuestion(host);
    const bool fieldsOk = ReadComputableCameraFields(host, s);
    const bool orientationOk = ApproximateOrientation(s, host);
    // Runs in any case, so that the bundle results are always fresh; it
    // reads the fields and runs the orientation once more.
    const bool bundleOk = BundlePipeline(s, host);

    bool result = false;
    // The adjustment whose orientations the intersection uses: with the
    // camera constant when that setting is on.
    const bool withF = s.Settings.AdjustCameraConstant;
    const AdjustmentFailure needed = withF ? s.BundleFailureF : s.BundleFailure;
    if (!fieldsOk) {
        // The orientation and the bundle adjustment have said why.
    } else if (!orientationOk) {
        detail::FailureLine(s, host, "Chyba - Přibližná orientace - výpočet nelze provést");
    } else if (!bundleOk) {
        detail::FailureLine(s, host, "Chyba - Svazkové vyrovnání - výpočet nelze provést");
    } else if (needed != AdjustmentFailure::None) {
        // Its results were released: no coordinates from a failed adjustment.
        host.WriteLog(AdjustmentFailedLogLine(withF, needed));
        s.FailureCauseLogged = true;
    } else if (!host.CancelRequested()) {
        host.ReportProgress({ComputationStage::ObjectPoints});
        // Every step is a guarded computation, which counts an allocation
        // that failed in it: then the command fails, naming the memory.
        const MemoryWatch memory;
        result = ComputeAndTest(s);
        if (memory.Tripped()) {
            host.WriteLog(kMemoryFailureLine);
            s.FailureCauseLogged = true;
            result = false;
        }
    }
    // A stopped run fails, also when the stop came after the last step that
    // could notice it.
    if (detail::StopRequested(s, host)) result = false;

    detail::EndPipeline(
        s, host, result, "Souřadnice XYZ - výpočet proveden", "Chyba - Souřadnice XYZ - výpočet nelze provést",
        kCoordinateResultItems, [&s] { s.OrientationLogged = false; },
        [&s] {
            for (MatPtr* m : {&s.ApproxObjectPoints, &s.ObjectPoints, &s.FTestPassed, &s.FTestResults})
                m->reset();
        });
    return result;
}

bool ObjectPointsCommand(ProjectState& state, CommandHost& host) {
    state.OrientationLogged = false;
    state.CancelLogged = false;
    state.FailureCauseLogged = false;
    const bool ok = ObjectPointsPipeline(state, host);
    ReportAfterComputation(state, host, ComputingCommand::ObjectPoints, ok);
    return ok;
}

}  // namespace pelvanor
