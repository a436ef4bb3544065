#include "project/orientation_pipeline.h"

#include "orientation/distortion.h"
#include "orientation/observation_assembly.h"
#include "orientation/plane_resection.h"
#include "orientation/refinement.h"
#include "orientation/space_resection.h"
#include "project/camera_fields.h"
#include "project/failure_causes.h"
#include "project/pipeline_end.h"
#include "project/command_reports.h"
#include "protocol/orientation_report.h"

namespace pelvanor {

namespace {

// The result items the pipeline feeds.
void SetResultItems(CommandHost& host, bool enabled) {
    host.SetItemEnabled(UiItem::Piblineenvnjorientace1, enabled);
    host.SetItemEnabled(UiItem::Opravensnmkovsouadnice1, enabled);
    host.SetItemEnabled(UiItem::Snmkovsouadnice2, enabled);
    host.SetItemEnabled(UiItem::Orientace2, enabled);
}

}  // namespace

bool ApproximateOrientation(ProjectState& state, CommandHost& host) {
    const detail::StopQuestion stopQuestion(host);
    host.ReportProgress({ComputationStage::Orientation});
    if (!ReadComputableCameraFields(host, state)) {
        detail::FailureLine(state, host, "Chyba - Špatné hodnoty parametrů kamery");
        SetResultItems(host, false);
        return false;
    }
    const CameraParameters& c = state.Camera;
    const AdjustmentSettings& s = state.Settings;
    // The enabled correction command is the sign that image coordinates are
    // loaded.
    const bool imagePoints = host.IsItemEnabled(UiItem::Snmkovsouadnice1);

    // Every step runs; each result replaces the previous one.  Every step
    // is a guarded computation, which counts an allocation that failed in
    // it: the failure line then names the memory.
    MemoryWatch memory;
    bool ok = true;
    if (imagePoints) {
        MatPtr corrected;
        ok &= CorrectImagePoints(state.ImagePoints.get(), corrected, c.x0, c.y0, c.f, c.k1, c.k2,
                                 c.k3, c.p1, c.p2);
        state.ImagePointsCorrected = std::move(corrected);
    }
    {
        MatPtr corrected;
        ok &= CorrectControlPoints(state.ControlPoints.get(), corrected, c.x0, c.y0, c.f, c.k1,
                                   c.k2, c.k3, c.p1, c.p2);
        state.ControlPointsCorrected = std::move(corrected);
    }
    {
        MatPtr ids;
        ok &= DistinctPoints(state.ControlPointsCorrected.get(), state.ControlPointRanges.get(),
                             state.ControlPointCounts.get(), ids);
        state.ControlPointIds = std::move(ids);
    }
    if (imagePoints) {
        MatPtr ids;
        ok &= DistinctPoints(state.ImagePointsCorrected.get(), state.ImagePointRanges.get(),
                             state.ImagePointCounts.get(), ids);
        state.ImagePointIds = std::move(ids);
        MatPtr counts, index;
        ok &= TiePointIndex(state.ImagePointsCorrected.get(), state.ImagePointCounts.get(),
                            state.ImagePointIds.get(), counts, index);
        state.TiePointImageCounts = std::move(counts);
        state.TiePointOccurrences = std::move(index);
    }
    {
        MatPtr counts, index;
        ok &= ControlPointIndex(state.ControlPointsCorrected.get(), state.ControlPointCounts.get(),
                                state.ControlPointIds.get(), counts, index);
        state.ControlPointImageCounts = std::move(counts);
        state.ControlPointOccurrences = std::move(index);
    }
    // A working table of this run only.
    MatPtr selected;
    ok &= SelectedControlRows(state.SelectedOrientationPoints.get(),
                              state.ControlPointsCorrected.get(), state.ControlPointCounts.get(),
                              state.ControlPointRanges.get(), selected);
    {
        MatPtr minimal;
        if (host.OrientationMethod() == 1)
            ok &= SpaceResection(selected.get(), state.ControlPointCounts.get(), minimal,
                                 s.Tolerance, c.f, c.x0, c.y0);
        else
            ok &= PlaneResection(selected.get(), state.ControlPointCounts.get(), minimal, c.x0,
                                 c.y0, c.f);
        state.OrientationMinimal = std::move(minimal);
    }
    {
        MatPtr refined, sigma0;
        long double iterations = 0.0L;
        ok &= RefineOrientation(state.ControlPointsCorrected.get(), state.ControlPointCounts.get(),
                                state.ControlPointRanges.get(), state.OrientationMinimal.get(),
                                c.x0, c.y0, c.f, s.Tolerance, s.MaxIterations, refined,
                                iterations, sigma0);
        state.OrientationRefined = std::move(refined);
        state.RefinementIterations = iterations;
        state.OrientationSigma0 = std::move(sigma0);
    }
    if (memory.Tripped()) {
        host.WriteLog(kMemoryFailureLine);
        state.FailureCauseLogged = true;
        ok = false;
    }

    // A stop asked for during the steps ends the run as a failure, whether
    // or not a step noticed it.
    if (detail::StopRequested(state, host)) ok = false;
    if (ok) {
        if (!state.OrientationLogged) {
            host.WriteLog("Oprava o distorze provedena");
            host.WriteLog("Přibližná orientace - výpočet proveden");
        }
        host.SetItemEnabled(UiItem::Piblineenvnjorientace1, true);
        host.SetItemEnabled(UiItem::Opravensnmkovsouadnice1, true);
        if (imagePoints) host.SetItemEnabled(UiItem::Snmkovsouadnice2, true);
        host.SetItemEnabled(UiItem::Orientace2, true);
        state.OrientationLogged = true;
        return true;
    }
    detail::FailureLine(state, host, "Chyba - Přibližná orientace - výpočet nelze provést");
    SetResultItems(host, false);
    // The corrected tables keep their new values.
    state.ImagePointIds.reset();
    state.ControlPointIds.reset();
    state.TiePointImageCounts.reset();
    state.TiePointOccurrences.reset();
    state.ControlPointImageCounts.reset();
    state.ControlPointOccurrences.reset();
    state.OrientationMinimal.reset();
    state.OrientationRefined.reset();
    state.OrientationSigma0.reset();
    return false;
}

bool ApproximateOrientationCommand(ProjectState& state, CommandHost& host) {
    state.OrientationLogged = false;
    state.CancelLogged = false;
    state.FailureCauseLogged = false;
    const bool ok = ApproximateOrientation(state, host);
    ReportAfterComputation(state, host, ComputingCommand::Orientation, ok);
    return ok;
}

std::vector<std::string> ShowOrientationResults(const ProjectState& state, const CommandHost& host) {
    const Matice* ranges = state.ControlPointRanges.get();
    const Matice* minimal = state.OrientationMinimal.get();
    const Matice* sigma0 = state.OrientationSigma0.get();
    const Matice* refined = state.OrientationRefined.get();
    if (!ranges || !minimal || !sigma0 || !refined) return {};
    const int n = ranges->r;
    // The item is enabled only after a successful run for the same images;
    // a mismatch would read beyond the tables, so nothing is shown then.
    if (minimal->r < n || minimal->s < 12 || sigma0->r < n || sigma0->s < 1 || refined->r < n ||
        refined->s < 12)
        return {};
    return OrientationReport(n, *minimal, state.RefinementIterations, *sigma0, *refined,
                             host.DecimalSeparator());
}

}  // namespace pelvanor
