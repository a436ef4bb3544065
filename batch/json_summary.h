#pragma once
// The machine-readable summary of one run (--json FILE), for the scripts
// that collect many projects: what was asked, what was read, the figures
// the protocols print and the files written.

#include <string>
#include <vector>

#include "batch/batch_host.h"
#include "batch/batch_options.h"
#include "project/run_summary.h"

namespace pelvanor::batch {

// The input files of a run, full names, images in their numbered order.
struct RunInputs {
    std::string camera;
    std::vector<std::string> control;
    std::vector<std::string> images;
    std::string controlAccuracy;  // the control accuracy file, empty: none
};

// The name of a solve as --solve writes it: auto, svd, sparse.
const char* SolveName(NormalSolve solve);

// What the log said of a run besides its figures.
struct RunNotes {
    // Why the run did not finish: the message that refused the options or
    // the settings file (naming the key and the value), the log's failure
    // lines ("Chyba - ...", joined by "; "), the line of a stop; empty for a
    // run that is done.
    std::string error;
    // The warning lines of the log ("Upozornění - ..."), in order.
    std::vector<std::string> warnings;
};

// The summary as JSON text (UTF-8, indented, ending with a line break).
// `exitStatus` gives the status: 0 done, 1 failed, 2 bad_input, 128 + a
// signal interrupted.
std::string JsonSummary(const BatchOptions& options, const RunInputs& inputs, const std::string& outDir,
                        int exitStatus, const RunSummary& summary,
                        const std::vector<BatchHost::AdjustmentRun>& adjustments,
                        const std::vector<std::string>& written, double seconds, const RunNotes& notes);

// Writes JsonSummary to `path` (replacing it atomically, creating its
// folder); false with a message in `error` when it cannot be written.
bool WriteJsonSummary(const std::string& path, const BatchOptions& options, const RunInputs& inputs,
                      const std::string& outDir, int exitStatus, const RunSummary& summary,
                      const std::vector<BatchHost::AdjustmentRun>& adjustments,
                      const std::vector<std::string>& written, double seconds, const RunNotes& notes,
                      std::string& error);

}  // namespace pelvanor::batch
