#include "project/result_commands.h"

#include "matrix/text_file.h"
#include "project/check_points.h"
#include "project/state_reports.h"
#include "protocol/bundle_report.h"
#include "project/complete_protocol.h"
#include "protocol/coordinate_report.h"

namespace pelvanor {

std::vector<std::string> ShowBundleResults(const ProjectState& state, const CommandHost& host) {
    return BundleReportLines(state, host.DecimalSeparator());
}

std::vector<std::string> SaveCoordinatesWithFTest(const ProjectState& state, CommandHost& host,
                                                  const std::string& chosenFileName) {
    // The item is enabled only after the coordinates were computed; without
    // them there is nothing to save.
    if (!state.ObjectPoints) return {};
    const Matice noTest(0, 0);
    MatPtr combined = CombinedCoordinateTable(*state.ObjectPoints,
                                              state.FTestResults ? *state.FTestResults : noTest);
    // The file first, whole: when it cannot be written the panel keeps its
    // text and the earlier file of that name stays as it was.
    WriteTextFile(chosenFileName, CoordinateFileText(*combined, true), false);
    std::vector<std::string> panel = CoordinateSummaryLines(state, host.DecimalSeparator());
    host.WriteLog("Uloženy souřadnice XYZ: " + chosenFileName);
    return panel;
}

void SavePassedCoordinates(const ProjectState& state, CommandHost& host,
                           const std::string& chosenFileName) {
    if (!state.FTestPassed) return;
    WriteTextFile(chosenFileName, CoordinateFileText(*state.FTestPassed, false), false);
    host.WriteLog("Uloženy souřadnice XYZ: " + chosenFileName);
}

void SaveCompleteProtocol(const ProjectState& state, CommandHost& host,
                          const std::string& chosenFileName) {
    WriteCompleteProtocol(chosenFileName, state, host.DecimalSeparator());
}

void SaveProtocolPanel(const std::vector<std::string>& lines, CommandHost& host,
                       const std::string& chosenFileName) {
    WriteTextLines(chosenFileName, lines, false);
    host.WriteLog("Uložen protokol: " + chosenFileName);
}

std::vector<std::string> ShowCheckPoints(const ProjectState& state, const CommandHost& host) {
    return CheckPointReportLines(state, host.DecimalSeparator());
}

void SaveCheckPoints(const ProjectState& state, CommandHost& host, const std::string& chosenFileName) {
    WriteTextLines(chosenFileName, CheckPointReportLines(state, host.DecimalSeparator()), false);
    host.WriteLog("Uloženy kontrolní body: " + chosenFileName);
}

}  // namespace pelvanor
