#include "project/image_fit_warning.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "matrix/fp_guard.h"
#include "project/log_texts.h"
#include "protocol/number_format.h"

namespace pelvanor {

namespace {

using detail::IndexValue;
using detail::kWarn;
using detail::ListText;

// Figures below this fraction of the camera constant are rounding, not
// measurement: a noise-free block has residuals of 1e-15 of the coordinates,
// whose ratios mean nothing.  (The best measurement reaches some 1e-5 of the
// camera constant: 0.2 micrometres at 24 mm.)
constexpr long double kRoundingFloor = 1.0e-9L;

std::string Factor(long double factor) {
    return FormatGeneral(std::round(factor), '.') + "krát";
}

// The line naming the images whose figure is too large, or "".
std::string FitLine(const std::vector<long double>& figures, long double floor, const std::string& label,
                    const std::string& quantity) {
    const std::vector<long double> factors = FitFactors(figures);
    std::vector<std::string> images;
    std::vector<std::string> times;
    for (std::size_t k = 0; k < factors.size(); ++k) {
        if (!(factors[k] > kImageFitFactor) || !(figures[k] > floor)) continue;
        images.push_back(std::to_string(k + 1));
        times.push_back(Factor(factors[k]));
    }
    if (images.empty()) return "";
    const bool one = images.size() == 1;
    return std::string(kWarn) + (one ? "Snímek " : "Snímky ") + ListText(images) +
           (one ? " nezapadá" : " nezapadají") + " do bloku (" + label + "): " + quantity + " je " +
           ListText(times) + " větší než medián snímků; " +
           (one ? "není jeho soubor spárován s jiným snímkem nebo chybně změřen?"
                : "nejsou jejich soubory spárovány s jinými snímky nebo chybně změřeny?");
}

long double Floor(const ProjectState& s) { return kRoundingFloor * std::fabs(s.Camera.f); }

// A point measured on more images than this enters the ray comparison with
// its first measurements only: the pairs grow with the square of the count.
constexpr std::size_t kRaysPerPoint = 40;

// One measurement of a tie point: its image (0-based) and corrected x, y.
struct Mark {
    std::size_t image = 0;
    long double x = 0.0L;
    long double y = 0.0L;
};

// Orientation row k (1-based) of a 12-column table: r11 .. r33, X0, Y0, Z0.
struct Station {
    long double r[9] = {};
    long double c[3] = {};
};

// The disagreement of two rays of one point, in image units: the rays are
// intersected (the midpoint of their shortest connection) and the point is
// projected back into both images; the root mean square of the four
// residuals.  False for parallel rays or a point on a principal plane.
bool PairMisfit(const Station& a, const Mark& ma, const Station& b, const Mark& mb, long double x0,
                long double y0, long double f, long double& misfit) {
    // d = R (x - x0, y + y0, -f) inverts xc = x0 - f U/W, yc = -y0 - f V/W
    // with (U, V, W) = R^T (P - C).
    const auto ray = [&](const Station& s, const Mark& m, long double d[3]) {
        const long double v[3] = {m.x - x0, m.y + y0, -f};
        for (int i = 0; i < 3; ++i) d[i] = s.r[3 * i] * v[0] + s.r[3 * i + 1] * v[1] + s.r[3 * i + 2] * v[2];
    };
    long double da[3], db[3], w[3];
    ray(a, ma, da);
    ray(b, mb, db);
    for (int i = 0; i < 3; ++i) w[i] = a.c[i] - b.c[i];
    const auto dot = [](const long double* p, const long double* q) { return p[0] * q[0] + p[1] * q[1] + p[2] * q[2]; };
    const long double aa = dot(da, da), ab = dot(da, db), bb = dot(db, db), aw = dot(da, w), bw = dot(db, w);
    const long double den = aa * bb - ab * ab;
    if (!(den > 1.0e-12L * aa * bb)) return false;
    const long double t = (ab * bw - bb * aw) / den;
    const long double u = (aa * bw - ab * aw) / den;
    long double p[3];
    for (int i = 0; i < 3; ++i) p[i] = 0.5L * (a.c[i] + t * da[i] + b.c[i] + u * db[i]);
    long double sum = 0.0L;
    for (const auto& [s, m] : {std::pair<const Station&, const Mark&>{a, ma}, {b, mb}}) {
        const long double q[3] = {p[0] - s.c[0], p[1] - s.c[1], p[2] - s.c[2]};
        const long double U = s.r[0] * q[0] + s.r[3] * q[1] + s.r[6] * q[2];
        const long double V = s.r[1] * q[0] + s.r[4] * q[1] + s.r[7] * q[2];
        const long double W = s.r[2] * q[0] + s.r[5] * q[1] + s.r[8] * q[2];
        if (W == 0.0L) return false;
        const long double vx = x0 - f * U / W - m.x;
        const long double vy = -y0 - f * V / W - m.y;
        sum += vx * vx + vy * vy;
    }
    misfit = std::sqrt(sum / 4.0L);
    return true;
}

long double Median(std::vector<long double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : 0.5L * (values[n / 2 - 1] + values[n / 2]);
}

}  // namespace

std::vector<long double> AdjustmentImageRms(const ProjectState& s, bool withF) {
    const Matice* residuals = withF ? s.BundleResidualsF.get() : s.BundleResiduals.get();
    const Matice* list = s.BundleObservationTable.get();
    const Matice* ranges = s.ControlPointRanges.get();
    if (!residuals || !list || !ranges || residuals->s < 2) return {};
    const std::size_t images = ranges->r;
    std::vector<long double> sum(images, 0.0L);
    std::vector<long long> count(images, 0);
    // Residual row h belongs to the h-th (row, image) pair of the point list,
    // in the order the adjustment assembles its observations.
    int h = 0;
    for (int i = 1; i <= list->r; ++i) {
        for (int col = 2; col + 1 <= list->s; col += 2) {
            const long long image = std::llabs(IndexValue(list->GetPrvek(i, col + 1)));
            if (image == 0) continue;
            ++h;
            if (h > residuals->r || image > static_cast<long long>(images)) return {};
            const long double vx = residuals->GetPrvek(h, 1);
            const long double vy = residuals->GetPrvek(h, 2);
            sum[static_cast<std::size_t>(image - 1)] += vx * vx + vy * vy;
            count[static_cast<std::size_t>(image - 1)] += 2;
        }
    }
    if (h != residuals->r) return {};
    std::vector<long double> rms(images, -1.0L);
    for (std::size_t k = 0; k < images; ++k)
        if (count[k] > 0) rms[k] = std::sqrt(sum[k] / static_cast<long double>(count[k]));
    return rms;
}

std::vector<long double> TieRayAgreement(const ProjectState& s) {
    const Matice* index = s.TiePointOccurrences.get();
    const Matice* table = s.ImagePointsCorrected.get();
    const Matice* orientation = s.OrientationRefined.get();
    if (!index || !table || !orientation || orientation->s < 12 || table->s < 3) return {};
    const std::size_t images = orientation->r;
    std::vector<Station> stations(images);
    for (std::size_t k = 0; k < images; ++k) {
        for (int j = 0; j < 9; ++j) stations[k].r[j] = orientation->GetPrvek(static_cast<int>(k) + 1, j + 1);
        for (int j = 0; j < 3; ++j) stations[k].c[j] = orientation->GetPrvek(static_cast<int>(k) + 1, 10 + j);
    }
    std::map<std::pair<std::size_t, std::size_t>, std::vector<long double>> pairs;
    for (int i = 1; i <= index->r; ++i) {
        std::vector<Mark> marks;
        for (int col = 2; col + 1 <= index->s && marks.size() < kRaysPerPoint; col += 2) {
            const long long row = IndexValue(index->GetPrvek(i, col));
            const long long image = IndexValue(index->GetPrvek(i, col + 1));
            if (image < 1 || image > static_cast<long long>(images) || row < 1 || row > table->r) continue;
            marks.push_back({static_cast<std::size_t>(image - 1), table->GetPrvek(static_cast<int>(row), 2),
                             table->GetPrvek(static_cast<int>(row), 3)});
        }
        for (std::size_t p = 0; p < marks.size(); ++p) {
            for (std::size_t q = p + 1; q < marks.size(); ++q) {
                if (marks[p].image == marks[q].image) continue;
                long double misfit = 0.0L;
                if (!PairMisfit(stations[marks[p].image], marks[p], stations[marks[q].image], marks[q], s.Camera.x0,
                                s.Camera.y0, s.Camera.f, misfit))
                    continue;
                pairs[std::minmax(marks[p].image, marks[q].image)].push_back(misfit);
            }
        }
    }
    std::vector<long double> figure(images, -1.0L);
    for (const auto& [pair, misfits] : pairs) {
        const long double m = Median(misfits);
        for (const std::size_t k : {pair.first, pair.second})
            if (figure[k] < 0.0L || m < figure[k]) figure[k] = m;
    }
    return figure;
}

std::vector<long double> FitFactors(const std::vector<long double>& figures) {
    std::vector<long double> present;
    for (long double v : figures)
        if (v >= 0.0L && std::isfinite(v)) present.push_back(v);
    if (present.size() < 3) return {};
    const long double median = Median(present);
    if (!(median > 0.0L)) return {};
    std::vector<long double> factors(figures.size(), 0.0L);
    for (std::size_t k = 0; k < figures.size(); ++k)
        if (figures[k] >= 0.0L && std::isfinite(figures[k])) factors[k] = figures[k] / median;
    return factors;
}

std::vector<std::string> OrientationFitWarnings(const ProjectState& s) {
    std::vector<long double> sigma;
    if (const Matice* m = s.OrientationSigma0.get(); m && m->s >= 1)
        for (int i = 1; i <= m->r; ++i) sigma.push_back(m->GetPrvek(i, 1));
    // Figures too large to square make no warning rather than a wrong one.
    std::vector<std::string> out;
    const bool computed = GuardedComputation([&] {
        for (const std::string& line :
             {FitLine(sigma, Floor(s), "přibližná orientace", "aposteriorní směrodatná odchylka jednotková"),
              FitLine(TieRayAgreement(s), Floor(s), "přibližná orientace",
                      "nesoulad paprsků spojovacích bodů se snímkem, se kterým souhlasí nejlépe,")})
            if (!line.empty()) out.push_back(line);
        return true;
    });
    return computed ? out : std::vector<std::string>{};
}

std::vector<std::string> AdjustmentFitWarnings(const ProjectState& s) {
    std::vector<std::string> out;
    const bool computed = GuardedComputation([&] {
        for (const bool withF : {false, true}) {
            const std::string line =
                FitLine(AdjustmentImageRms(s, withF), Floor(s),
                        withF ? "vyrovnání s konstantou komory" : "vyrovnání bez konstanty komory",
                        "střední oprava snímkových souřadnic");
            if (!line.empty()) out.push_back(line);
        }
        return true;
    });
    return computed ? out : std::vector<std::string>{};
}

}  // namespace pelvanor
