#include "project/state_reports.h"

#include "project/failure_causes.h"
#include "project/weighted_control.h"
#include "protocol/bundle_report.h"
#include "protocol/number_format.h"
#include "protocol/report_layout.h"

namespace pelvanor {

std::vector<std::string> BundleReportLines(const ProjectState& state, char decimal) {
    const AdjustmentSettings& settings = state.Settings;
    const int n = RowCount(state.ControlPointRanges.get());
    std::vector<std::string> lines;
    auto add = [&](std::vector<std::string> more) {
        for (auto& line : more) lines.push_back(std::move(line));
    };

    lines.push_back("Výpočet svazkového vyrovnání - program Pelvanor");
    lines.push_back(Rule('*', 47));
    lines.push_back(kBlankLine);
    // No tie point selected leaves the empty-table marker, which is no point.
    lines.push_back("Počet bodů vstupující do svazkového vyrovnání: " +
                    FormatGeneral(static_cast<long double>(TableEntryCount(state.BundlePointOccurrences.get())), decimal));
    lines.push_back("Počet vlícovacích bodů - stabilizace: " +
                    FormatGeneral(static_cast<long double>(settings.FixedPointCount), decimal));
    lines.push_back(kBlankLine);

    if (settings.RobustEstimation && state.RobustOutliers) {
        lines.push_back("Odlehlé body zachycené robustní metodou");
        lines.push_back(Rule('-', 39));
        add(OutlierLines(state.RobustOutliers.get(), decimal));
        lines.push_back(kBlankLine);
    }

    // An adjustment whose last run failed has no results to show: one line
    // says so in place of its block.
    if (state.BundleFailure != AdjustmentFailure::None) {
        lines.push_back(AdjustmentNotComputedLine(false, state.BundleFailure));
    } else {
        lines.push_back("Výpočet svazkového vyrovnání bez konstanty komory");
        lines.push_back(Rule('-', 49));
        add(BundleSummaryLines(state.BundleSigma0, state.BundleRedundancy, state.BundleIterations,
                               decimal));
        lines.push_back(kBlankLine);
        lines.push_back(kBundleHeader);
        if (BundleTableAvailable(state.BundleUnknowns.get(), state.BundleImageIndex.get(), n, false))
            for (int i = 1; i <= n; ++i)
                lines.push_back(BundleRow(*state.BundleUnknowns, *state.BundleImageIndex, i, false, decimal));
        add(WeightedControlBlockLines(state, false, decimal));
    }

    if (settings.AdjustCameraConstant && state.BundleFailureF != AdjustmentFailure::None) {
        lines.push_back(kBlankLine);
        lines.push_back(AdjustmentNotComputedLine(true, state.BundleFailureF));
    } else if (settings.AdjustCameraConstant &&
               BundleTableAvailable(state.BundleUnknownsF.get(), state.BundleImageIndexF.get(), n, true)) {
        lines.push_back(kBlankLine);
        lines.push_back("Výpočet svazkového vyrovnání s konstantou komory");
        // The heading has 48 characters; its rule is the 49 of the heading above.
        lines.push_back(Rule('-', 49));
        add(BundleSummaryLines(state.BundleSigma0F, state.BundleRedundancyF,
                               state.BundleIterationsF, decimal));
        lines.push_back(kBlankLine);
        lines.push_back(kBundleHeaderF);
        for (int i = 1; i <= n; ++i)
            lines.push_back(BundleRow(*state.BundleUnknownsF, *state.BundleImageIndexF, i, true, decimal));
        add(WeightedControlBlockLines(state, true, decimal));
    }
    return lines;
}

std::vector<std::string> CoordinateSummaryLines(const ProjectState& state, char decimal) {
    auto general = [decimal](int v) { return FormatGeneral(static_cast<long double>(v), decimal); };
    return {
        "Výpočet prostorových souřadnic - program Pelvanor",
        Rule('*', 49),
        "F-test na hladině významnosti: " + general(state.Settings.SignificancePercent) + " procent",
        "Počet vypočtených bodů: " + general(RowCount(state.ObjectPoints.get())),
        "Počet bodů splňujíci F-test: " + general(TableEntryCount(state.FTestPassed.get())),
    };
}

}  // namespace pelvanor
