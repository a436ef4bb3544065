#include "project/check_points.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

#include "adjustment/intersection.h"
#include "matrix/arithmetic.h"
#include "project/failure_causes.h"
#include "project/weighted_control.h"
#include "protocol/number_format.h"
#include "protocol/report_layout.h"

namespace pelvanor {

namespace {

using Lines = std::vector<std::string>;

// Characters (not bytes) of a UTF-8 text, for the rules under headings.
int Utf8Length(const std::string& text) {
    int n = 0;
    for (unsigned char c : text)
        if ((c & 0xC0u) != 0x80u) ++n;
    return n;
}

// Number of measurements of row k of an index table (pairs with an image).
int MeasurementCount(const Matice& index, int k) {
    int count = 0;
    for (int col = 3; col <= index.s; col += 2)
        if (RoundId(index.GetPrvek(k, col)) != 0) ++count;
    return count;
}

// The control points of the adjustment's point list that did not fix its
// datum: the list starts with the control points (the rows holding negated
// image numbers), the first min(FixedPointCount, their number) of which
// were held; point k owns the unknowns 3k-2 .. 3k in both kinds of
// adjustment.  The surveyed coordinates are those the adjustment started
// from: the control table row of the point's first measurement.
std::vector<CheckPointRowValues> AdjustedControlPoints(const ProjectState& state, const Matice& unknowns) {
    std::vector<CheckPointRowValues> points;
    const Matice* list = state.BundleObservationTable.get();
    const Matice* control = state.ControlPointsCorrected.get();
    if (!list || !control || control->s < 4 || unknowns.s < 1 || unknowns.r < 3 * list->r) return points;
    int controlCount = 0;
    for (int k = 1; k <= list->r; ++k) {
        for (int col = 3; col <= list->s; col += 2)
            if (RoundId(list->GetPrvek(k, col)) < 0) controlCount = k;
    }
    // With weighted control the weighted points are no check points, and
    // when the control accuracy file names check points, they are exactly those.
    const ControlWeighting& weighting = state.BundleWeighting;
    const bool weighted = weighting.Active();
    bool marked = false;
    for (const auto& entry : weighting.points) marked = marked || entry.second.check;
    const int fixed = weighted ? FixedPointsOfList(*list, state.Settings.FixedPointCount, &weighting)
                               : std::clamp(state.Settings.FixedPointCount, 0, controlCount);
    for (int k = fixed + 1; k <= controlCount; ++k) {
        if (weighted) {
            const std::int64_t number = RoundId(list->GetPrvek(k, 1));
            if (weighting.Weighted(number) || (marked && !weighting.IsCheck(number))) continue;
        }
        std::int64_t row = 0;
        for (int col = 2; col + 1 <= list->s; col += 2) {
            if (RoundId(list->GetPrvek(k, col + 1)) < 0) {
                row = RoundId(list->GetPrvek(k, col));
                break;
            }
        }
        if (row < 1 || row > control->r) continue;
        CheckPointRowValues point;
        point.number = list->GetPrvek(k, 1);
        for (int q = 0; q < 3; ++q) {
            point.surveyed[q] = control->GetPrvek(static_cast<int>(row), 2 + q);
            point.adjusted[q] = unknowns.GetPrvek(3 * k - 2 + q, 1);
        }
        point.images = MeasurementCount(*list, k);
        points.push_back(point);
    }
    return points;
}

// The points of the image coordinate files that carry a control point's
// number and were measured on two or more images, each intersected alone
// with the adjustment's orientations (and camera constants), exactly as
// "Souřadnice XYZ" intersects every point: from the start values that the
// rays of the adjustment without the camera constant give (those of the
// adjustment itself when that one was released).  A point whose
// intersection fails is left out.
std::vector<CheckPointRowValues> IntersectedControlPoints(const ProjectState& state, const Matice& unknowns,
                                                          const Matice& imageIndex, bool withF) {
    std::vector<CheckPointRowValues> points;
    const Matice* tie = state.TiePointOccurrences.get();
    const Matice* counts = state.TiePointImageCounts.get();
    const Matice* image = state.ImagePointsCorrected.get();
    const Matice* control = state.ControlPointsCorrected.get();
    if (!tie || !counts || !image || !control || control->s < 4 || counts->s < 2 ||
        counts->r < tie->r || TableEntryCount(tie) == 0)
        return points;

    // The surveyed coordinates of every control point: its first row.
    std::unordered_map<std::int64_t, int> controlRow;
    for (int r = 1; r <= control->r; ++r) {
        const long double number = control->GetPrvek(r, 1);
        if (!(std::fabs(number) <= kLargestPointNumber)) continue;
        const std::int64_t id = RoundId(number);
        if (id > 0) controlRow.emplace(id, r);
    }
    const CameraParameters& c = state.Camera;
    const AdjustmentSettings& set = state.Settings;
    for (int o = 1; o <= tie->r; ++o) {
        const long double number = tie->GetPrvek(o, 1);
        if (!(std::fabs(number) <= kLargestPointNumber)) continue;
        const auto found = controlRow.find(RoundId(number));
        if (found == controlRow.end()) continue;
        MatPtr index = NewMatrix(1, tie->s);
        MatPtr count = NewMatrix(1, counts->s);
        if (!CopyBlock(*index, 1, 1, *tie, o, o, 1, tie->s) || !CopyBlock(*count, 1, 1, *counts, o, o, 1, counts->s))
            continue;
        MatPtr start;
        MatPtr result;
        const bool startWithout = state.BundleUnknowns && state.BundleImageIndex;
        if (!ApproximatePointsFromBundle(index.get(), count.get(), image,
                                         startWithout ? state.BundleUnknowns.get() : &unknowns,
                                         startWithout ? state.BundleImageIndex.get() : &imageIndex, c.x0, c.y0,
                                         c.f, start))
            continue;
        const bool ok = withF ? IntersectPointsWithF(image, index.get(), count.get(), start.get(), &unknowns,
                                                     &imageIndex, set.Tolerance, c.x0, c.y0, set.MaxIterations,
                                                     result)
                              : IntersectPoints(image, index.get(), count.get(), start.get(), &unknowns,
                                                &imageIndex, set.Tolerance, c.x0, c.y0, c.f, set.MaxIterations,
                                                result);
        if (!ok || !result || result->r < 1 || result->s < 4) continue;
        CheckPointRowValues point;
        point.number = number;
        for (int q = 0; q < 3; ++q) {
            point.surveyed[q] = control->GetPrvek(found->second, 2 + q);
            point.adjusted[q] = result->GetPrvek(1, 2 + q);
        }
        point.images = static_cast<int>(RoundId(counts->GetPrvek(o, 2)));
        points.push_back(point);
    }
    return points;
}

// A table of check points with its title, header, rows and summary.
void AddTable(Lines& lines, const std::string& title, const std::vector<CheckPointRowValues>& points,
              char decimal) {
    lines.push_back(kBlankLine);
    lines.push_back(title);
    lines.push_back(kCheckPointHeader);
    for (const CheckPointRowValues& point : points) lines.push_back(CheckPointRow(point, decimal));
    lines.push_back(kBlankLine);
    for (std::string& line : CheckPointSummaryLines(CheckPointStatisticsOf(points), decimal))
        lines.push_back(std::move(line));
}

}  // namespace

std::vector<CheckPointBlock> CheckPointBlocks(const ProjectState& state) {
    std::vector<CheckPointBlock> blocks;
    for (const bool withF : {false, true}) {
        if (withF && !state.Settings.AdjustCameraConstant) continue;
        CheckPointBlock block;
        block.withCameraConstant = withF;
        block.failure = withF ? state.BundleFailureF : state.BundleFailure;
        const Matice* unknowns = withF ? state.BundleUnknownsF.get() : state.BundleUnknowns.get();
        const Matice* imageIndex = withF ? state.BundleImageIndexF.get() : state.BundleImageIndex.get();
        if (block.failure == AdjustmentFailure::None) {
            // Not computed (the setting was switched on after the adjustment).
            if (!unknowns || !imageIndex) continue;
            block.adjusted = AdjustedControlPoints(state, *unknowns);
            block.intersected = IntersectedControlPoints(state, *unknowns, *imageIndex, withF);
            block.weighted = WeightedControlPoints(state, withF);
        }
        blocks.push_back(std::move(block));
    }
    return blocks;
}

CheckPointStatistics CheckPointStatisticsOf(const std::vector<CheckPointRowValues>& points) {
    CheckPointStatistics s;
    s.count = static_cast<int>(points.size());
    if (points.empty()) return s;
    long double sums[3] = {0.0L, 0.0L, 0.0L};
    bool first = true;
    for (const CheckPointRowValues& p : points) {
        long double space = 0.0L;
        for (int q = 0; q < 3; ++q) {
            const long double d = p.adjusted[q] - p.surveyed[q];
            sums[q] += d * d;
            space += d * d;
        }
        const long double length = std::sqrt(space);
        if (first || length > s.largest) {
            s.largest = length;
            s.largestNumber = p.number;
            first = false;
        }
    }
    const long double n = static_cast<long double>(points.size());
    for (int q = 0; q < 3; ++q) s.rms[q] = std::sqrt(sums[q] / n);
    s.rmsSpace = std::sqrt((sums[0] + sums[1] + sums[2]) / n);
    return s;
}

std::vector<std::string> CheckPointReportLines(const ProjectState& state, char decimal) {
    const std::vector<CheckPointBlock> blocks = CheckPointBlocks(state);
    bool anything = false;
    for (const CheckPointBlock& block : blocks)
        anything = anything || block.failure != AdjustmentFailure::None || !block.adjusted.empty() ||
                   !block.intersected.empty() || !block.weighted.empty();
    if (!anything) return {"Žádné kontrolní body: všechny vlícovací body vyrovnání jsou pevné"};

    const std::string title = "Kontrolní body - program Pelvanor";
    Lines lines{title, Rule('*', Utf8Length(title)), kBlankLine,
                "Počet vlícovacích bodů - stabilizace: " +
                    FormatGeneral(static_cast<long double>(state.Settings.FixedPointCount), decimal),
                kCheckPointLegend};
    for (const CheckPointBlock& block : blocks) {
        const std::string heading = std::string("Kontrolní body - vyrovnání ") +
                                    (block.withCameraConstant ? "s konstantou komory" : "bez konstanty komory");
        lines.push_back(kBlankLine);
        lines.push_back(heading);
        lines.push_back(Rule('-', Utf8Length(heading)));
        if (block.failure != AdjustmentFailure::None) {
            lines.push_back(AdjustmentNotComputedLine(block.withCameraConstant, block.failure));
            continue;
        }
        if (block.adjusted.empty() && block.intersected.empty() && block.weighted.empty()) {
            lines.push_back("Žádné kontrolní body: všechny vlícovací body vyrovnání jsou pevné");
            continue;
        }
        if (!block.adjusted.empty())
            AddTable(lines, "Vlícovací body vyrovnané jako neznámé", block.adjusted, decimal);
        if (!block.intersected.empty())
            AddTable(lines, "Vlícovací body ve snímkových souřadnicích, protnuté z vyrovnaných snímků",
                     block.intersected, decimal);
        if (!block.weighted.empty()) {
            lines.push_back(kBlankLine);
            lines.push_back("Vážené vlícovací body: posuny a jejich poměr k apriorní směrodatné odchylce");
            lines.push_back(kWeightedControlLegend);
            lines.push_back(kWeightedControlHeader);
            for (const WeightedControlRowValues& point : block.weighted)
                lines.push_back(WeightedControlRow(point, decimal));
            lines.push_back(kBlankLine);
            for (std::string& line : WeightedControlSummaryLines(WeightedControlStatistics(block.weighted), decimal))
                lines.push_back(std::move(line));
        }
    }
    return lines;
}

}  // namespace pelvanor
