#include "project/complete_protocol.h"

#include "matrix/matice.h"
#include "project/failure_causes.h"
#include "project/weighted_control.h"
#include "protocol/bundle_report.h"
#include "protocol/coordinate_report.h"
#include "protocol/number_format.h"
#include "protocol/orientation_report.h"
#include "protocol/report_layout.h"
#include "matrix/text_file.h"

namespace pelvanor {

const std::string kOrientationHeaderFile = OrientationTableHeader(7);

namespace {

using Lines = std::vector<std::string>;

void Append(Lines& lines, Lines more) {
    for (auto& line : more) lines.push_back(std::move(line));
}

// Characters (not bytes) of a UTF-8 text: the frames are as long as the
// heading reads.
int Utf8Length(const std::string& text) {
    int n = 0;
    for (unsigned char c : text)
        if ((c & 0xC0u) != 0x80u) ++n;
    return n;
}

// A section heading between two rows of "x" of its length.
Lines Framed(const std::string& heading) {
    const std::string frame = Rule('x', Utf8Length(heading));
    return {frame, heading, frame};
}

std::string General(long double value, char decimal) { return FormatGeneral(value, decimal); }
std::string General(int value, char decimal) {
    return FormatGeneral(static_cast<long double>(value), decimal);
}

// An orientation table printable for all images: r11..r33, X0, Y0, Z0 in
// columns 1 to 12 of one row per image.
bool OrientationTableAvailable(const Matice* table, int images) {
    return table && table->r >= images && table->s >= 12;
}

void AddOrientationRows(Lines& lines, const Matice* table, int images, char decimal) {
    if (!OrientationTableAvailable(table, images)) return;
    for (int i = 1; i <= images; ++i) lines.push_back(OrientationRow(*table, i, decimal, 7));
}

int ImageCount(const ProjectState& state) { return RowCount(state.ControlPointRanges.get()); }

}  // namespace

Lines CompleteProtocolStartLines(const ProjectState& state, char decimal) {
    const AdjustmentSettings& s = state.Settings;
    const CameraParameters& c = state.Camera;
    Lines lines{
        "Kompletní protokol - program Pelvanor",
        Rule('*', 37),
        kBlankLine,
        "Počet snímků: " + General(ImageCount(state), decimal),
        "Počet bodů: " + General(RowCount(state.ObjectPoints.get()), decimal),
        kBlankLine,
    };
    Append(lines, Framed("xxxxx Nastavení xxxxx"));
    Append(lines, {
        kBlankLine,
        "Maximální počet iterací:............" + General(s.MaxIterations, decimal),
        "Tolerance iteračního výpočtu:......." + General(s.Tolerance, decimal),
        "Hladina významnosti:................" + General(s.SignificancePercent, decimal) + "%",
        "Počet pevných bodů do vyrovnání:...." + General(s.FixedPointCount, decimal),
        "Počet bodů do vyrovnání:............" + General(s.PointPercent, decimal) + "%",
        kBlankLine,
    });
    if (s.RobustEstimation)
        Append(lines, {"Robustní odhad: ano ",
                       "Minimální váha pro robustní odhad:.." + General(s.RobustWeightPercent, decimal) + "%",
                       kBlankLine});
    if (s.AdjustCameraConstant) lines.push_back("Vyrovnání konstanty komory: ano ");
    lines.push_back(kBlankLine);
    Append(lines, Framed("xxxxx Parametry kamery xxxxx"));
    Append(lines, {
        kBlankLine,
        "Konstanta komory f: " + General(c.f, decimal),
        kBlankLine,
        "Hlavní snímkový bod",
        "x0 = " + General(c.x0, decimal),
        "y0 = " + General(c.y0, decimal),
        kBlankLine,
        "Parametry distorze",
        "k1 = " + General(c.k1, decimal),
        "k2 = " + General(c.k2, decimal),
        "k3 = " + General(c.k3, decimal),
        "p1 = " + General(c.p1, decimal),
        "p2 = " + General(c.p2, decimal),
        kBlankLine,
    });
    Append(lines, Framed("Opravené hodnoty snímkových souřadnic o distorze"));
    lines.push_back(kBlankLine);
    return lines;
}

Lines CompleteProtocolOrientationLines(const ProjectState& state, char decimal) {
    const int n = ImageCount(state);
    Lines lines{kBlankLine};
    Append(lines, Framed("Výpočet přibližné orientace - minimální počet bodů"));
    lines.push_back(kBlankLine);
    lines.push_back(kOrientationHeaderFile);
    AddOrientationRows(lines, state.OrientationMinimal.get(), n, decimal);
    lines.push_back(kBlankLine);
    Append(lines, Framed("Výpočet přibližné orientace - projektivní transformace"));
    lines.push_back(kBlankLine);
    lines.push_back("Počet iterací: " + General(state.RefinementIterations, decimal));
    lines.push_back(kBlankLine);
    if (state.OrientationSigma0 && state.OrientationSigma0->r >= n && state.OrientationSigma0->s >= 1)
        for (int i = 1; i <= n; ++i)
            lines.push_back("Aposteriorní směrodatná odchylka jednotková na snímku" +
                            ImageNumber(i, decimal) + " = " +
                            FormatPattern("0.000", state.OrientationSigma0->GetPrvek(i, 1), decimal));
    lines.push_back(kBlankLine);
    lines.push_back(kOrientationHeaderFile);
    AddOrientationRows(lines, state.OrientationRefined.get(), n, decimal);
    lines.push_back(kBlankLine);
    Append(lines, Framed("Přibližné prostorové souřadnice pro svazkové vyrovnání"));
    lines.push_back(kBlankLine);
    lines.push_back(kPointsHeader);
    return lines;
}

Lines CompleteProtocolBundleLines(const ProjectState& state, char decimal) {
    const AdjustmentSettings& s = state.Settings;
    const int n = ImageCount(state);
    Lines lines{kBlankLine};
    Append(lines, Framed("Výpočet svazkového vyrovnání"));
    Append(lines, {
        kBlankLine,
        "Počet bodů vstupující do svazkového vyrovnání: " +
            General(TableEntryCount(state.BundlePointOccurrences.get()), decimal),
        "Počet vlícovacích bodů - stabilizace: " + General(s.FixedPointCount, decimal),
    });
    lines.push_back(kBlankLine);
    if (s.RobustEstimation && state.RobustOutliers) {
        Append(lines, {"Odlehlé body zachycené robustní metodou", Rule('-', 39), kBlankLine});
        Append(lines, OutlierLines(state.RobustOutliers.get(), decimal));
        lines.push_back(kBlankLine);
    }
    // An adjustment whose last run failed: one line in place of its block.
    if (state.BundleFailure != AdjustmentFailure::None) {
        Append(lines, {kBlankLine, AdjustmentNotComputedLine(false, state.BundleFailure)});
    } else {
        Append(lines, {kBlankLine, "Výpočet svazkového vyrovnání bez konstanty komory", Rule('-', 49),
                       kBlankLine});
        Append(lines, BundleSummaryLines(state.BundleSigma0, state.BundleRedundancy,
                                         state.BundleIterations, decimal));
        lines.push_back(kBlankLine);
        lines.push_back(kBundleHeader);
        if (BundleTableAvailable(state.BundleUnknowns.get(), state.BundleImageIndex.get(), n, false))
            for (int i = 1; i <= n; ++i)
                lines.push_back(BundleRow(*state.BundleUnknowns, *state.BundleImageIndex, i, false, decimal));
        Append(lines, WeightedControlBlockLines(state, false, decimal));
    }
    if (s.AdjustCameraConstant && state.BundleFailureF != AdjustmentFailure::None) {
        Append(lines, {kBlankLine, AdjustmentNotComputedLine(true, state.BundleFailureF)});
    } else if (s.AdjustCameraConstant &&
               BundleTableAvailable(state.BundleUnknownsF.get(), state.BundleImageIndexF.get(), n, true)) {
        // The 48-character heading takes the 49-character rule of the one above.
        Append(lines, {kBlankLine, "Výpočet svazkového vyrovnání s konstantou komory", Rule('-', 49),
                       kBlankLine});
        Append(lines, BundleSummaryLines(state.BundleSigma0F, state.BundleRedundancyF,
                                         state.BundleIterationsF, decimal));
        lines.push_back(kBlankLine);
        lines.push_back(kBundleHeaderF);
        for (int i = 1; i <= n; ++i)
            lines.push_back(BundleRow(*state.BundleUnknownsF, *state.BundleImageIndexF, i, true, decimal));
        Append(lines, WeightedControlBlockLines(state, true, decimal));
    }
    lines.push_back(kBlankLine);
    Append(lines, Framed("Prostorové souřadnice XYZ - komplet"));
    lines.push_back(kBlankLine);
    lines.push_back(kPointsHeaderFTest);
    return lines;
}

Lines CompleteProtocolXYZLines(const ProjectState& state, char decimal) {
    Lines lines{kBlankLine};
    Append(lines, Framed("Prostorové souřadnice XYZ"));
    Append(lines, {
        kBlankLine,
        "F-test na hladině významnosti: " + General(state.Settings.SignificancePercent, decimal) +
            " procent",
        "Počet vypočtených bodů: " + General(RowCount(state.ObjectPoints.get()), decimal),
        "Počet bodů splňujíci F-test: " + General(TableEntryCount(state.FTestPassed.get()), decimal),
        kBlankLine,
        kPointsHeader,
    });
    return lines;
}

namespace {

// A table grouped by image with a "Snimek k" line before each image's block.
void AddImageBlocks(std::string& text, const MatPtr& table, const MatPtr& ranges) {
    if (!table) return;
    const Matice noRanges(0, 0);
    text += table->DumpTextWithHeaders(ranges ? *ranges : noRanges);
}

void AddRows(std::string& text, const MatPtr& table) {
    if (table) text += table->DumpText();
}

}  // namespace

std::string CompleteProtocolText(const ProjectState& state, char decimal) {
    std::string text = TextLinesBytes(CompleteProtocolStartLines(state, decimal));
    AddImageBlocks(text, state.ControlPointsCorrected, state.ControlPointRanges);
    AddImageBlocks(text, state.ImagePointsCorrected, state.ImagePointRanges);
    text += TextLinesBytes(CompleteProtocolOrientationLines(state, decimal));
    AddRows(text, state.ApproxObjectPoints);
    text += TextLinesBytes(CompleteProtocolBundleLines(state, decimal));
    if (state.ObjectPoints) {
        const Matice noTest(0, 0);
        MatPtr combined =
            CombinedCoordinateTable(*state.ObjectPoints, state.FTestResults ? *state.FTestResults : noTest);
        text += combined->DumpText();
    }
    text += TextLinesBytes(CompleteProtocolXYZLines(state, decimal));
    AddRows(text, state.ObjectPoints);
    return text;
}

void WriteCompleteProtocol(const std::string& file, const ProjectState& state, char decimal) {
    WriteTextFile(file, CompleteProtocolText(state, decimal), false);
}

}  // namespace pelvanor
