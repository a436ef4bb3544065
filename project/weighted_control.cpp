#include "project/weighted_control.h"

#include <cmath>

#include "input/control_accuracy_file.h"
#include "matrix/arithmetic.h"
#include "project/check_points.h"
#include "protocol/number_format.h"
#include "protocol/report_layout.h"

namespace pelvanor {

namespace {

int Utf8Length(const std::string& text) {
    int n = 0;
    for (unsigned char c : text)
        if ((c & 0xC0u) != 0x80u) ++n;
    return n;
}

}  // namespace

ControlWeighting ControlWeightingOf(const ProjectState& state) {
    ControlWeighting w;
    w.imageSigma = state.Settings.ImageSigma;
    w.sigmaXY = state.Settings.ControlSigmaXY;
    w.sigmaZ = state.Settings.ControlSigmaZ;
    w.points = state.ControlAccuracy;
    return w;
}

bool LoadControlAccuracy(const std::string& path, ProjectState& state, std::string& error) {
    std::vector<ControlAccuracyLine> lines;
    ControlAccuracyError why;
    if (!ReadControlAccuracyFile(path, lines, why)) {
        error = "Chyba v souboru přesnosti vlícovacích bodů " + path +
                (why.line > 0 ? ", řádek " + std::to_string(why.line) : std::string()) + ": " + why.reason;
        return false;
    }
    std::map<std::int64_t, ControlPointAccuracy> table;
    for (const ControlAccuracyLine& line : lines) {
        ControlPointAccuracy a;
        for (int q = 0; q < 3; ++q) a.sigma[q] = line.sigma[q];
        a.check = line.check;
        table[line.number] = a;
    }
    state.ControlAccuracy = std::move(table);
    state.ControlAccuracyFile = path;
    return true;
}

bool LoadControlAccuracyCommand(const std::string& file, ProjectState& state, CommandHost& host) {
    host.WriteLog("Načten soubor: " + file);
    std::string error;
    if (!LoadControlAccuracy(file, state, error)) {
        host.WriteLog(error);
        host.WriteLog("Chyba - Přesnost vlícovacích bodů nenačtena");
        host.ShowMessage(error);
        return false;
    }
    host.WriteLog("Přesnost vlícovacích bodů načtena do programu");
    return true;
}

std::vector<WeightedControlRowValues> WeightedControlPoints(const ProjectState& state, bool withF) {
    std::vector<WeightedControlRowValues> out;
    const Matice* list = state.BundleObservationTable.get();
    const Matice* control = state.ControlPointsCorrected.get();
    const Matice* unknowns = withF ? state.BundleUnknownsF.get() : state.BundleUnknowns.get();
    if (withF && !state.Settings.AdjustCameraConstant) return out;
    if (!list || !control || !unknowns || unknowns->s < 1 || unknowns->r < 3 * list->r) return out;
    const ControlWeighting& weighting = state.BundleWeighting;
    const std::int32_t fixed = FixedPointsOfList(*list, state.Settings.FixedPointCount, &weighting);
    std::vector<ControlPrior> priors;
    if (!ControlPriorsOfList(*list, *control, fixed, &weighting, priors)) return out;
    for (const ControlPrior& prior : priors) {
        WeightedControlRowValues row;
        row.point.number = prior.number;
        for (int q = 0; q < 3; ++q) {
            row.point.surveyed[q] = prior.surveyed[q];
            row.point.adjusted[q] = unknowns->GetPrvek(3 * prior.point + 1 + q, 1);
            row.sigma[q] = prior.sigma[q];
        }
        for (std::int32_t col = 3; col <= list->s; col += 2)
            if (RoundId(list->GetPrvek(prior.point + 1, col)) != 0) ++row.point.images;
        out.push_back(row);
    }
    return out;
}

CheckPointStatistics WeightedControlStatistics(const std::vector<WeightedControlRowValues>& points) {
    std::vector<CheckPointRowValues> rows;
    for (const WeightedControlRowValues& p : points) rows.push_back(p.point);
    return CheckPointStatisticsOf(rows);
}

std::vector<std::string> WeightedControlBlockLines(const ProjectState& state, bool withF, char decimal) {
    const std::vector<WeightedControlRowValues> points = WeightedControlPoints(state, withF);
    if (points.empty()) return {};
    const std::string heading = std::string("Vážené vlícovací body - vyrovnání ") +
                                (withF ? "s konstantou komory" : "bez konstanty komory");
    const long double imageSigma = state.BundleWeighting.imageSigma;
    const long double m0 = withF ? state.BundleSigma0F : state.BundleSigma0;
    std::vector<std::string> lines{
        kBlankLine,
        heading,
        Rule('-', Utf8Length(heading)),
        "Apriorní směrodatná odchylka snímkových souřadnic: " + FormatGeneral(imageSigma, decimal),
        "Aposteriorní směrodatná odchylka jednotková vztažená k apriorní: " +
            FormatPattern("0.0000", m0 / imageSigma, decimal),
        kWeightedControlLegend,
        kWeightedControlHeader,
    };
    for (const WeightedControlRowValues& p : points) lines.push_back(WeightedControlRow(p, decimal));
    lines.push_back(kBlankLine);
    for (std::string& line : WeightedControlSummaryLines(WeightedControlStatistics(points), decimal))
        lines.push_back(std::move(line));
    return lines;
}

}  // namespace pelvanor
