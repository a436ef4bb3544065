#include "project/command_reports.h"

#include "project/failure_diagnosis.h"
#include "project/load_warnings.h"
#include "project/result_warnings.h"
#include "project/settings_warnings.h"

namespace pelvanor {

void ReportAfterComputation(ProjectState& state, CommandHost& host, ComputingCommand command, bool ok) {
    // A stop by the user, or a cause the command has named itself, needs no
    // search for another.
    if (!ok && !state.CancelLogged && !state.FailureCauseLogged) {
        const std::string cause = ComputationFailureCause(state, host, command);
        if (!cause.empty()) host.WriteLog(cause);
    }
    for (const std::string& line : SettingsWarnings(state.Settings, host.DecimalSeparator())) host.WriteLog(line);
    if (ok)
        for (const std::string& line : ResultWarnings(state, command)) host.WriteLog(line);
}

void ReportAfterLoad(const FileSetReport& read, bool controlFiles, bool ok, const ProjectState& state,
                     CommandHost& host) {
    if (!ok) {
        const std::string cause = LoadFailureCause(read.error);
        if (!cause.empty()) host.WriteLog(cause);
        return;
    }
    for (const std::string& line : LoadWarnings(read, controlFiles, state)) host.WriteLog(line);
}

}  // namespace pelvanor
