#include "project/result_tables.h"

#include <cmath>
#include <map>
#include <set>

#include "adjustment/image_precision.h"
#include "matrix/arithmetic.h"
#include "project/check_points.h"
#include "protocol/number_format.h"

namespace pelvanor {

namespace {

bool Has(const MatPtr& m) { return m && m->r > 0 && m->s > 0; }

std::string Decimals(int decimals) {
    return decimals > 0 ? "0." + std::string(static_cast<std::size_t>(decimals), '0') : "0";
}

ResultCell Number(long double value, int decimals, char decimal) {
    return {FormatPattern(Decimals(decimals), value, decimal), static_cast<double>(value), true};
}

ResultCell Whole(long double value) {
    return {std::to_string(RoundId(value)), static_cast<double>(RoundId(value)), true};
}

ResultCell Text(const std::string& text, double key) { return {text, key, false}; }

ResultCell Empty() { return {std::string(), -1e308, true}; }

// The kept adjustment, as the pictures choose it.
struct Kept {
    const Matice* unknowns = nullptr;
    const Matice* imageIndex = nullptr;
    const Matice* residuals = nullptr;
    long double m0 = 0.0L;
    bool withF = false;
};

Kept KeptAdjustment(const ProjectState& s) {
    Kept k;
    const bool fResults = Has(s.BundleUnknownsF) && Has(s.BundleImageIndexF);
    const bool results = Has(s.BundleUnknowns) && Has(s.BundleImageIndex);
    if (fResults && (Has(s.BundleResidualsF) || !Has(s.BundleResiduals) || !results)) {
        k = {s.BundleUnknownsF.get(), s.BundleImageIndexF.get(), s.BundleResidualsF.get(), s.BundleSigma0F, true};
    } else if (results) {
        k = {s.BundleUnknowns.get(), s.BundleImageIndex.get(), s.BundleResiduals.get(), s.BundleSigma0, false};
    }
    return k;
}

}  // namespace

std::vector<PointResult> PointResults(const ProjectState& s) {
    std::vector<PointResult> out;
    if (!Has(s.ObjectPoints) || s.ObjectPoints->s < 8) return out;
    const Matice& points = *s.ObjectPoints;
    // A table holding only the number 0 holds no point.
    if (points.r == 1 && RoundId(points.GetPrvek(1, 1)) == 0) return out;
    std::set<std::int64_t> passed;
    if (Has(s.FTestPassed))
        for (int i = 1; i <= s.FTestPassed->r; ++i) passed.insert(RoundId(s.FTestPassed->GetPrvek(i, 1)));
    std::map<std::int64_t, int> images;
    if (Has(s.TiePointImageCounts) && s.TiePointImageCounts->s >= 2)
        for (int i = 1; i <= s.TiePointImageCounts->r; ++i)
            images[RoundId(s.TiePointImageCounts->GetPrvek(i, 1))] =
                static_cast<int>(RoundId(s.TiePointImageCounts->GetPrvek(i, 2)));
    const Matice* test = s.FTestResults.get();
    for (int i = 1; i <= points.r; ++i) {
        PointResult p;
        p.number = points.GetPrvek(i, 1);
        p.X = points.GetPrvek(i, 2);
        p.Y = points.GetPrvek(i, 3);
        p.Z = points.GetPrvek(i, 4);
        p.m0 = points.GetPrvek(i, 5);
        for (int q = 0; q < 3; ++q) p.sigma[q] = points.GetPrvek(i, 6 + q);
        if (test != nullptr && i <= test->r && test->s >= 2) {
            p.criterion = test->GetPrvek(i, 1);
            p.quantile = test->GetPrvek(i, 2);
        }
        const std::int64_t id = RoundId(p.number);
        p.passed = passed.count(id) != 0;
        const auto it = images.find(id);
        p.images = it == images.end() ? 0 : it->second;
        out.push_back(p);
    }
    return out;
}

std::vector<ControlPointRecord> ControlPointRecords(const ProjectState& s) {
    std::vector<ControlPointRecord> out;
    if (!Has(s.ControlPoints) || s.ControlPoints->s < 4) return out;
    std::set<std::int64_t> seen;
    for (int i = 1; i <= s.ControlPoints->r; ++i) {
        const long double number = s.ControlPoints->GetPrvek(i, 1);
        if (RoundId(number) == 0 || !seen.insert(RoundId(number)).second) continue;
        out.push_back({number, s.ControlPoints->GetPrvek(i, 2), s.ControlPoints->GetPrvek(i, 3),
                       s.ControlPoints->GetPrvek(i, 4)});
    }
    return out;
}

std::vector<StationResult> StationResults(const ProjectState& s) {
    std::vector<StationResult> out;
    const Kept k = KeptAdjustment(s);
    if (k.unknowns == nullptr) return out;
    const int width = k.withF ? 7 : 6;
    const int m = k.imageIndex->r;

    // Measurements per image in the order of the observation rows, and
    // their residuals when they belong to this point list.
    std::vector<int> counts(static_cast<std::size_t>(m), 0);
    std::vector<long double> squares(static_cast<std::size_t>(m), 0.0L);
    if (Has(s.BundleObservationTable)) {
        const Matice& list = *s.BundleObservationTable;
        std::vector<int> imageOf;
        for (int i = 1; i <= list.r; ++i)
            for (int col = 3; col <= list.s; col += 2) {
                const std::int64_t g = RoundId(list.GetPrvek(i, col));
                if (g != 0) imageOf.push_back(static_cast<int>(g < 0 ? -g : g));
            }
        const bool residuals = k.residuals != nullptr && k.residuals->s >= 2 &&
                               k.residuals->r == static_cast<int>(imageOf.size());
        for (std::size_t h = 0; h < imageOf.size(); ++h) {
            const int j = imageOf[h];
            if (j < 1 || j > m) continue;
            ++counts[static_cast<std::size_t>(j - 1)];
            if (!residuals) continue;
            const long double vx = k.residuals->GetPrvek(static_cast<int>(h) + 1, 1);
            const long double vy = k.residuals->GetPrvek(static_cast<int>(h) + 1, 2);
            squares[static_cast<std::size_t>(j - 1)] += vx * vx + vy * vy;
        }
    }
    MatPtr sigmas;
    const bool hasSigma =
        ImageStandardDeviations(s.ControlPointsCorrected.get(), s.ImagePointsCorrected.get(),
                                s.BundleObservationTable.get(), k.unknowns, k.imageIndex, k.withF ? 7 : 6, s.Camera.x0,
                                s.Camera.y0, s.Camera.f, s.Settings.FixedPointCount, nullptr, &s.BundleWeighting, k.m0, sigmas) &&
        sigmas && sigmas->r == m;
    for (int j = 1; j <= m; ++j) {
        const std::int64_t first = RoundId(k.imageIndex->GetPrvek(j, 1));
        if (first < 1 || first + width - 1 > k.unknowns->r) return {};
        const auto at = [&](int q) { return k.unknowns->GetPrvek(static_cast<int>(first) + q, 1); };
        StationResult r;
        r.image = j;
        r.X0 = at(0);
        r.Y0 = at(1);
        r.Z0 = at(2);
        r.alfa = at(3);
        r.beta = at(4);
        r.gama = at(5);
        r.hasF = k.withF;
        if (k.withF) r.f = at(6);
        r.hasSigma = hasSigma;
        if (hasSigma)
            for (int q = 0; q < width; ++q) r.sigma[q] = sigmas->GetPrvek(j, q + 1);
        r.points = counts[static_cast<std::size_t>(j - 1)];
        if (r.points > 0) r.rms = std::sqrt(squares[static_cast<std::size_t>(j - 1)] / (2.0L * r.points));
        out.push_back(r);
    }
    return out;
}

ResultTable PointTable(const ProjectState& s, char decimal) {
    ResultTable t;
    t.columns = {"Bod", "X", "Y", "Z", "σX", "σY", "σZ", "m0", "Kritérium F", "Kvantil F", "F-test", "Snímků"};
    for (const PointResult& p : PointResults(s)) {
        t.rows.push_back({Whole(p.number), Number(p.X, 6, decimal), Number(p.Y, 6, decimal), Number(p.Z, 6, decimal),
                          Number(p.sigma[0], 6, decimal), Number(p.sigma[1], 6, decimal),
                          Number(p.sigma[2], 6, decimal), Number(p.m0, 6, decimal), Number(p.criterion, 3, decimal),
                          Number(p.quantile, 3, decimal),
                          // The failed points first when sorted by the verdict.
                          Text(p.passed ? "vyhověl" : "nevyhověl", p.passed ? 1.0 : 0.0),
                          {std::to_string(p.images), static_cast<double>(p.images), true}});
        t.ids.push_back(p.number);
    }
    return t;
}

ResultTable StationTable(const ProjectState& s, char decimal) {
    ResultTable t;
    t.columns = {"Snímek", "X0", "Y0", "Z0", "σX0", "σY0", "σZ0", "alfa", "beta", "gama", "σalfa", "σbeta", "σgama",
                 "f", "σf", "RMS oprav", "Měření"};
    for (const StationResult& r : StationResults(s)) {
        std::vector<ResultCell> row = {{std::to_string(r.image), static_cast<double>(r.image), true},
                                       Number(r.X0, 6, decimal),
                                       Number(r.Y0, 6, decimal),
                                       Number(r.Z0, 6, decimal)};
        for (int q = 0; q < 3; ++q) row.push_back(r.hasSigma ? Number(r.sigma[q], 6, decimal) : Empty());
        for (const long double angle : {r.alfa, r.beta, r.gama}) row.push_back(Number(angle, 7, decimal));
        for (int q = 3; q < 6; ++q) row.push_back(r.hasSigma ? Number(r.sigma[q], 7, decimal) : Empty());
        row.push_back(r.hasF ? Number(r.f, 6, decimal) : Empty());
        row.push_back(r.hasF && r.hasSigma ? Number(r.sigma[6], 6, decimal) : Empty());
        row.push_back(r.points > 0 ? Number(r.rms, 6, decimal) : Empty());
        row.push_back({std::to_string(r.points), static_cast<double>(r.points), true});
        t.rows.push_back(std::move(row));
        t.ids.push_back(static_cast<long double>(r.image));
    }
    return t;
}

ResultTable CheckPointTable(const ProjectState& s, char decimal) {
    ResultTable t;
    t.columns = {"Bod", "Vyrovnání", "Určení", "X", "Y", "Z", "dX", "dY", "dZ", "d", "Snímků"};
    for (const CheckPointBlock& block : CheckPointBlocks(s)) {
        const std::string adjustment = block.withCameraConstant ? "s konstantou komory" : "bez konstanty komory";
        const auto add = [&](const std::vector<CheckPointRowValues>& rows, const char* how, double key) {
            for (const CheckPointRowValues& p : rows) {
                long double d[3];
                for (int q = 0; q < 3; ++q) d[q] = p.adjusted[q] - p.surveyed[q];
                const long double space = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
                t.rows.push_back({Whole(p.number), Text(adjustment, block.withCameraConstant ? 1.0 : 0.0),
                                  Text(how, key), Number(p.surveyed[0], 6, decimal),
                                  Number(p.surveyed[1], 6, decimal), Number(p.surveyed[2], 6, decimal),
                                  Number(d[0], 6, decimal), Number(d[1], 6, decimal), Number(d[2], 6, decimal),
                                  Number(space, 6, decimal),
                                  {std::to_string(p.images), static_cast<double>(p.images), true}});
                t.ids.push_back(p.number);
            }
        };
        add(block.adjusted, "vyrovnaný", 0.0);
        add(block.intersected, "protnutý", 1.0);
    }
    return t;
}

std::string TabSeparated(const ResultTable& table, const std::vector<std::size_t>& order) {
    std::string text;
    const auto line = [&text](const std::vector<std::string>& cells) {
        for (std::size_t c = 0; c < cells.size(); ++c) {
            if (c > 0) text += '\t';
            text += cells[c];
        }
        text += '\n';
    };
    line(table.columns);
    const auto row = [&](std::size_t i) {
        std::vector<std::string> cells;
        for (const ResultCell& cell : table.rows[i]) cells.push_back(cell.text);
        line(cells);
    };
    if (order.empty()) {
        for (std::size_t i = 0; i < table.rows.size(); ++i) row(i);
    } else {
        for (const std::size_t i : order)
            if (i < table.rows.size()) row(i);
    }
    return text;
}

}  // namespace pelvanor
