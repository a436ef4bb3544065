#include "project/bundle_pipeline.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

#include "project/pipeline_end.h"
#include "adjustment/approximate_points.h"
#include "adjustment/bundle_adjustment.h"
#include "adjustment/point_selection.h"
#include "adjustment/schur_solve.h"
#include "matrix/arithmetic.h"
#include "matrix/cancellation.h"
#include "matrix/fp_guard.h"
#include "project/camera_constant_check.h"
#include "project/camera_fields.h"
#include "project/failure_causes.h"
#include "project/orientation_pipeline.h"
#include "project/command_reports.h"
#include "project/weighted_control.h"

namespace pelvanor {

namespace {

// The result items the bundle adjustment feeds; "Grafy" draws its residuals
// and orientations, "Tabulka výsledků" lists its images.
constexpr UiItem kBundleResultItems[] = {
    UiItem::Svazkovvyrovnn2, UiItem::Piblineenvnjorientace1, UiItem::Opravensnmkovsouadnice1,
    UiItem::Snmkovsouadnice2, UiItem::Orientace2, UiItem::Grafy1, UiItem::Kontrolnbody1, UiItem::Kontrolnbody2,
    UiItem::Tabulkavsledk1,
};

void ReleaseBundleResults(ProjectState& s) {
    MatPtr* order[] = {
        &s.BundlePointOccurrences, &s.BundlePointImageCounts, &s.ApproxObjectPoints,
        &s.BundleUnknowns,         &s.BundleObservationTable, &s.BundleImageIndex,
        &s.BundlePointIndex,       &s.BundleWeights,          &s.BundleUnknownsF,
        &s.BundleImageIndexF,      &s.RobustPointOccurrences, &s.RobustPointImageCounts,
        &s.RobustOutliers,         &s.BundleResiduals,        &s.BundleResidualsF,
        &s.BundleDeviationsF,
    };
    // BundleWeightsF and the scalars stay as they are.
    for (MatPtr* m : order) m->reset();
}

// The results of the blocks this run left out (robust estimation or the
// camera constant switched off) would otherwise stay from an earlier run and
// be printed beside the new ones when the setting is switched on again
// before the next adjustment; without them the protocols leave the block
// out.
void ReleaseResultsNotComputed(ProjectState& s) {
    if (!s.Settings.AdjustCameraConstant) {
        s.BundleUnknownsF.reset();
        s.BundleImageIndexF.reset();
        s.BundleResidualsF.reset();
        s.BundleDeviationsF.reset();
    }
    if (!s.Settings.RobustEstimation) {
        s.RobustOutliers.reset();
        s.RobustPointOccurrences.reset();
        s.RobustPointImageCounts.reset();
    }
}

// Which adjustment wrote BundleWeights last: the one with the camera
// constant when it runs after the adjustment without the outliers.
bool WeightsFromAdjustmentWithF(const AdjustmentSettings& set) {
    return set.RobustEstimation && set.AdjustCameraConstant;
}

// A bundle adjustment that counts as computed may still hold a kind of
// adjustment whose last run failed (a later success is enough for the
// result rule).  Its unknowns, image index, passes, m0 and redundancy
// would read as a result in the protocols and in "Souřadnice XYZ": they are
// released, and the reason stays for the protocols to print.
void ReleaseFailedAdjustments(ProjectState& s) {
    const bool withoutFailed = s.BundleFailure != AdjustmentFailure::None;
    const bool withFailed = s.BundleFailureF != AdjustmentFailure::None;
    if (withoutFailed) {
        s.BundleUnknowns.reset();
        s.BundleImageIndex.reset();
        s.BundleResiduals.reset();
        s.BundleIterations = 0;
        s.BundleSigma0 = 0.0L;
        s.BundleRedundancy = 0;
    }
    if (withFailed) {
        s.BundleUnknownsF.reset();
        s.BundleImageIndexF.reset();
        s.BundleWeightsF.reset();
        s.BundleResidualsF.reset();
        s.BundleDeviationsF.reset();
        s.BundleIterationsF = 0;
        s.BundleSigma0F = 0.0L;
        s.BundleRedundancyF = 0;
    }
    if (WeightsFromAdjustmentWithF(s.Settings) ? withFailed : withoutFailed) s.BundleWeights.reset();
    // The point list and point index explain the unknowns of both kinds.
    const bool withKept = s.Settings.AdjustCameraConstant && !withFailed;
    if (withoutFailed && !withKept) {
        s.BundleObservationTable.reset();
        s.BundlePointIndex.reset();
    }
}

// Number of measurements of row r of an index table (pairs with an image).
int MeasurementCount(const Matice& index, int r) {
    int count = 0;
    for (int col = 3; col <= index.s; col += 2)
        if (RoundId(index.GetPrvek(r, col)) != 0) ++count;
    return count;
}

// The order u + 3b of the bordered normal matrix of the largest adjustment
// the pipeline is about to run (with the camera constant when that is on):
// three unknowns per point measured on two or more images, six or seven per
// image, three constraints per fixed point.  0 when the tables are missing.
std::int64_t BorderedOrder(const ProjectState& s) {
    if (!s.ControlPointOccurrences || !s.BundlePointOccurrences || !s.ControlPointCounts) return 0;
    std::int64_t control = 0;
    for (int r = 1; r <= s.ControlPointOccurrences->r; ++r)
        if (RoundId(s.ControlPointOccurrences->GetPrvek(r, 1)) > 0 && MeasurementCount(*s.ControlPointOccurrences, r) >= 2)
            ++control;
    std::int64_t tie = 0;
    for (int r = 1; r <= s.BundlePointOccurrences->r; ++r)
        if (RoundId(s.BundlePointOccurrences->GetPrvek(r, 1)) > 0 && MeasurementCount(*s.BundlePointOccurrences, r) >= 2)
            ++tie;
    const std::int64_t fixed = std::clamp<std::int64_t>(s.Settings.FixedPointCount, 0, control);
    const std::int64_t width = s.Settings.AdjustCameraConstant ? 7 : 6;
    return 3 * (control + tie) + width * s.ControlPointCounts->r + 3 * fixed;
}

// Order of the bordered normal matrix whose pseudo-inverse takes about a
// second per pass on a current desktop processor (measured with the
// benchmark of the solves); the time grows with the cube of the order.
constexpr long double kSvdOneSecondOrder = 450.0L;

// "SVD" chosen for a block whose passes take minutes: said before the first
// pass.
void WarnOfLongSvdPasses(const ProjectState& s, CommandHost& host) {
    if (s.Settings.NormalEquations != NormalSolve::Svd) return;
    const std::int64_t order = BorderedOrder(s);
    const long double ratio = static_cast<long double>(order) / kSvdOneSecondOrder;
    const long double seconds = ratio * ratio * ratio;
    if (seconds <= 60.0L) return;
    const long long minutes = std::llround(seconds / 60.0L);
    const std::string duration = minutes < 60 ? std::to_string(minutes) + " min"
                                              : std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) + " min";
    host.WriteLog("Upozornění - Řešení normálních rovnic „SVD“: jedna iterace svazkového vyrovnání potrvá odhadem " +
                  duration + " (řád normální matice " + std::to_string(order) +
                  "), celý výpočet mnohonásobně déle; „Automaticky“ řeší takovou úlohu řídkou eliminací");
}

// Why an adjustment that returned false failed; Other when it said nothing.
AdjustmentFailure Reason(bool ok, AdjustmentFailure reported) {
    if (ok) return AdjustmentFailure::None;
    return reported == AdjustmentFailure::None ? AdjustmentFailure::Other : reported;
}

// What the pipeline keeps of the adjustments' summaries: why the last one
// that ran failed, and the passes the point elimination gave in all of them.
// Whether the passes ended on the limit goes to the state, for each kind.
struct AdjustmentRecord {
    AdjustmentFailure why = AdjustmentFailure::None;
    std::int32_t eliminatedPasses = 0;
    // Told, when the passes of an adjustment have ended, whether on the
    // pass limit.
    std::function<void(bool limitReached)> passesEnded;
};

void Keep(ProjectState& s, bool withF, const BundleSummary& summary, AdjustmentRecord& record) {
    record.why = summary.failure;
    record.eliminatedPasses += summary.eliminatedPasses;
    if (summary.passesEnded) {
        (withF ? s.BundlePassLimitReachedF : s.BundlePassLimitReached) = summary.limitReached;
        if (record.passesEnded) record.passesEnded(summary.limitReached);
    }
}

// An adjustment with the camera constant that succeeded but did not
// determine its camera constants counts as failed (camera_constant_check.h).
bool KeptWithF(ProjectState& s, bool adjusted, const Matice* weights, AdjustmentRecord& record) {
    if (!adjusted || CameraConstantsDetermined(s, weights)) return adjusted;
    record.why = AdjustmentFailure::CameraConstantUndetermined;
    return false;
}

// Adjustment without a camera constant on the given tie points; the eight
// results and the residuals replace those of an earlier run.
bool AdjustWithoutF(ProjectState& s, bool robust, const Matice* tieIndex, const Matice* tieCounts,
                    const BundleOptions& options, AdjustmentRecord& record) {
    const CameraParameters& c = s.Camera;
    BundleSummary summary;
    const bool ok = BundleAdjust(robust, s.ControlPointsCorrected.get(), s.ImagePointsCorrected.get(), tieIndex,
                                 tieCounts, s.ControlPointOccurrences.get(), s.ControlPointImageCounts.get(),
                                 s.ControlPointCounts.get(), s.ApproxObjectPoints.get(),
                                 s.OrientationRefined.get(), c.x0, c.y0, c.f, s.Settings.FixedPointCount,
                                 options, summary, s.BundleUnknowns, s.BundleIterations, s.BundleSigma0,
                                 s.BundleObservationTable, s.BundleImageIndex, s.BundlePointIndex,
                                 s.BundleWeights, s.BundleRedundancy);
    s.BundleResiduals = std::move(summary.residuals);
    Keep(s, false, summary, record);
    return ok;
}

// Adjustment with a camera constant per image, started from the current
// result without it; its weights go to `weights`, its residuals replace
// BundleResidualsF.
bool AdjustWithF(ProjectState& s, bool robust, const Matice* tieCounts, MatPtr& weights,
                 const BundleOptions& options, AdjustmentRecord& record) {
    const CameraParameters& c = s.Camera;
    BundleSummary summary;
    const bool ok = BundleAdjustWithF(robust, s.ControlPointsCorrected.get(), s.ImagePointsCorrected.get(),
                                      s.BundleUnknowns.get(), s.ControlPointCounts.get(),
                                      s.BundleObservationTable.get(), s.BundleImageIndex.get(),
                                      s.BundlePointIndex.get(), tieCounts, c.x0, c.y0, c.f,
                                      s.Settings.Tolerance, s.Settings.FixedPointCount, s.BundleWeights.get(),
                                      options, summary, s.BundleUnknownsF, s.BundleIterationsF,
                                      s.BundleSigma0F, s.BundleImageIndexF, weights, s.BundleRedundancyF);
    s.BundleResidualsF = std::move(summary.residuals);
    Keep(s, true, summary, record);
    return ok;
}

}  // namespace

bool BundlePipeline(ProjectState& s, CommandHost& host) {
    const detail::StopQuestion stopQuestion(host);
    const bool fieldsOk = ReadComputableCameraFields(host, s);
    // The orientation runs also with unreadable fields; it logs its own lines.
    const bool orientationOk = ApproximateOrientation(s, host);

    bool result = false;
    AdjustmentRecord record;
    std::int32_t solvedPasses = 0;
    // An allocation that fails in any step below fails the whole command:
    // a half-made result (weights of an adjustment that could not allocate)
    // must not feed the next step and be reported as computed.  Every step
    // is a guarded computation, which counts such a failure.
    const MemoryWatch memory;
    s.BundleFailure = AdjustmentFailure::None;
    s.BundleFailureF = AdjustmentFailure::None;
    if (!fieldsOk) {
        detail::FailureLine(s, host, "Chyba - Špatné hodnoty parametrů kamery");
    } else if (!orientationOk) {
        detail::FailureLine(s, host, "Chyba - Přibližná orientace - výpočet nelze provést");
    } else {
        const AdjustmentSettings& set = s.Settings;
        const CameraParameters& c = s.Camera;
        BundleOptions options;
        options.MaxIterations = set.MaxIterations;
        options.Tolerance = set.Tolerance;
        options.Message = [&host](const std::string& text) { host.ShowMessage(text); };
        // Which adjustment runs, for the reports of its passes.
        ComputationProgress progress{ComputationStage::Adjustment};
        options.PassStarting = [&host, &progress](std::int32_t pass, long double m0) {
            return ReportPassStart(host, progress, pass, m0);
        };
        // The share done of a pass's pseudo-inverse, whole percents only.
        const ProgressScope passShare([&host, &progress](double share) {
            const FpScope keepFlags;
            if (progress.pass <= 0) return;
            const double percent = std::floor(share * 100.0) / 100.0;
            if (percent == progress.passShare) return;
            progress.passShare = percent;
            host.ReportProgress(progress);
        });
        options.PassDone = [&host, &progress, &solvedPasses](std::int32_t pass, long double m0) {
            ++solvedPasses;
            ReportPassEnd(host, progress, pass, m0);
        };
        const auto starting = [&](AdjustmentKind kind, bool withoutOutliers) {
            progress.adjustment = kind;
            progress.withoutOutliers = withoutOutliers;
            progress.pass = 0;
            progress.m0 = 0.0L;
            progress.passShare = -1.0;
            host.ReportProgress(progress);
            return !host.CancelRequested();
        };
        host.ReportProgress(progress);
        // Surveyed control with its accuracy; the reports read what this run used.
        s.BundleWeighting = ControlWeightingOf(s);
        options.Weighting = &s.BundleWeighting;
        options.Solve = set.NormalEquations;
        s.BundlePassLimitReached = s.BundlePassLimitReachedF = false;
        // Whether each adjustment's passes met the tolerance, for a summary.
        record.passesEnded = [&host, &progress](bool limit) {
            ComputationProgress ended = progress;
            ended.pass = 0;
            ended.passShare = -1.0;
            ended.passesEnded = true;
            ended.converged = !limit;
            host.ReportProgress(ended);
        };

        const bool sel = SelectBundlePoints(s.TiePointOccurrences.get(), s.TiePointImageCounts.get(),
                                            set.PointPercent, s.BundlePointOccurrences,
                                            s.BundlePointImageCounts);
        const bool app = ApproximateObjectPoints(s.BundlePointOccurrences.get(),
                                                 s.BundlePointImageCounts.get(),
                                                 s.ImagePointsCorrected.get(), s.OrientationRefined.get(),
                                                 c.x0, c.y0, c.f, s.ApproxObjectPoints);
        if (sel && app) WarnOfLongSvdPasses(s, host);
        const bool adj = starting(AdjustmentKind::WithoutCameraConstant, false) &&
                         AdjustWithoutF(s, set.RobustEstimation, s.BundlePointOccurrences.get(),
                                        s.BundlePointImageCounts.get(), options, record);
        if (sel && app && adj) result = true;
        s.BundleFailure = Reason(sel && app && adj, record.why);

        // With robust estimation this run takes the weights of the first one.
        if (set.AdjustCameraConstant && starting(AdjustmentKind::WithCameraConstant, false)) {
            const bool adjF = KeptWithF(
                s, AdjustWithF(s, set.RobustEstimation, s.BundlePointImageCounts.get(), s.BundleWeightsF, options, record),
                set.RobustEstimation ? s.BundleWeights.get() : nullptr, record);
            if (adjF) result = true;
            s.BundleFailureF = Reason(adjF, record.why);
        }

        // A stop asked for leaves out the rest.
        if (set.RobustEstimation && !host.CancelRequested()) {
            const bool out = SelectOutliers(
                s.BundleObservationTable.get(), s.BundlePointOccurrences.get(), s.ControlPointCounts.get(),
                static_cast<long double>(set.RobustWeightPercent), s.BundlePointImageCounts.get(),
                s.ControlPointImageCounts.get(), s.BundleWeights.get(), set.FixedPointCount,
                s.RobustPointOccurrences, s.RobustPointImageCounts, s.RobustOutliers);
            // Without the outliers the remaining observations get unit weights;
            // every remaining tie point keeps its start coordinates.
            const bool adj2 = starting(AdjustmentKind::WithoutCameraConstant, true) &&
                              AdjustWithoutF(s, false, s.RobustPointOccurrences.get(),
                                             s.RobustPointImageCounts.get(), options, record);
            if (out && adj2) result = true;
            s.BundleFailure = Reason(out && adj2, record.why);
            if (set.AdjustCameraConstant && starting(AdjustmentKind::WithCameraConstant, true)) {
                const bool adjF2 = KeptWithF(
                    s, AdjustWithF(s, false, s.RobustPointImageCounts.get(), s.BundleWeights, options, record), nullptr,
                    record);
                if (adjF2) result = true;
                s.BundleFailureF = Reason(adjF2, record.why);
            }
        }
        if (memory.Tripped()) {
            host.WriteLog(kMemoryFailureLine);
            s.FailureCauseLogged = true;
            result = false;
        }
    }
    // A stopped run fails, whatever its earlier adjustments achieved.
    if (detail::StopRequested(s, host)) result = false;

    s.BundleByElimination = result && record.eliminatedPasses > 0;
    // Which solve ran is no part of the protocols (both give the same
    // numbers).  The elimination is the rule; the log names the
    // pseudo-inverse where it solved a pass (chosen, or taking over where
    // the elimination's certificate failed).
    if (result && solvedPasses > record.eliminatedPasses) host.WriteLog(kPseudoInverseLine);
    detail::EndPipeline(s, host, result, "Svazkové vyrovnání - výpočet proveden",
                        "Svazkové vyrovnání - výpočet nelze provést", kBundleResultItems,
                        [&s] {
                            ReleaseResultsNotComputed(s);
                            ReleaseFailedAdjustments(s);
                        },
                        [&s] { ReleaseBundleResults(s); });
    return result;
}

bool BundleCommand(ProjectState& state, CommandHost& host) {
    state.OrientationLogged = false;
    state.CancelLogged = false;
    state.FailureCauseLogged = false;
    const bool ok = BundlePipeline(state, host);
    ReportAfterComputation(state, host, ComputingCommand::Bundle, ok);
    return ok;
}

}  // namespace pelvanor
