#pragma once
// "Výpočty" > "Svazkové vyrovnání": the approximate orientation brought up to
// date, the choice of tie points, their start coordinates, the bundle
// adjustment without and (when chosen) with a camera constant per image,
// and, with robust estimation, the outlier selection and the adjustments
// repeated without the outliers.

#include "project/command_host.h"
#include "project/project_state.h"

namespace pelvanor {

// The log line, before the pipeline's result line, of a bundle adjustment
// that took a pass's correction from the pseudo-inverse rather than the
// point elimination: chosen ("SVD"), or where the elimination's
// certificate failed.  The protocols do not say (both solves give the same
// numbers); the batch command's summary tells whether a pass took the
// elimination.
inline constexpr const char* kPseudoInverseLine = "Řešení normálních rovnic: SVD";

// The whole pipeline on the state; writes its log line and switches the
// result items ("Svazkové vyrovnání", "Přibližné řešení vnější orientace",
// "Oprava distorze" with its "Snímkové souřadnice" and "Orientace",
// "Kontrolní body" with its protocol under "Protokoly", all under
// "Výsledky", and "Grafy").  True when the bundle adjustment counts as computed: the
// first adjustment with its point selection and start coordinates, or any
// later adjustment, succeeded.  On failure the bundle results are released;
// on success those of a block the settings left out (the outliers with
// robust estimation off, the adjustment with the camera constant when that
// is off), so that no result of an earlier run passes for a current one,
// and those of a kind of adjustment (without or with the camera constant)
// whose last run failed, whose reason stays in BundleFailure or
// BundleFailureF.  An allocation that fails anywhere fails the pipeline
// after the line "Chyba - Nedostatek paměti".
// A stop the host reports (CommandHost::CancelRequested) leaves out the
// remaining steps and ends the run through the failure path, whatever the
// earlier adjustments achieved, with the one line kCancelledLine in place
// of its failure lines.
bool BundlePipeline(ProjectState& state, CommandHost& host);

// The menu command: clears OrientationLogged, so that this command logs the
// orientation's success lines once, and CancelLogged, and runs
// BundlePipeline; then the cause of a failure and the warnings
// (ReportAfterComputation).
bool BundleCommand(ProjectState& state, CommandHost& host);

}  // namespace pelvanor
