#include "project/calibration_warnings.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "matrix/elementary.h"
#include "matrix/fp_guard.h"
#include "orientation/collinearity.h"
#include "project/log_texts.h"
#include "protocol/number_format.h"

namespace pelvanor {

namespace {

using detail::kWarn;

const std::string kSubject = std::string(kWarn) + "Kalibrace kamery: ";

// A length in image units to four significant digits.
std::string Length(long double value, char decimal) {
    if (!(value > 0.0L) || !std::isfinite(value)) return FormatGeneral(value, decimal);
    const long double scale = Pow(10.0L, static_cast<long double>(DecimalExponentOf(value) - 3));
    return FormatGeneral(std::round(value / scale) * scale, decimal);
}

// The largest change of the distortion correction between the two cameras
// over the measured area (41 x 41 grid and every measured point).
long double LargestCorrectionChange(const CameraCalibrationResult& r) {
    long double worst = 0.0L;
    const auto consider = [&](long double x, long double y) {
        long double bx = 0.0L, by = 0.0L, ax = 0.0L, ay = 0.0L;
        DistortionCorrection(r.before, x, y, bx, by);
        DistortionCorrection(r.summary.camera, x, y, ax, ay);
        worst = std::max(worst, std::hypot(ax - bx, ay - by));
    };
    constexpr int kGrid = 40;
    for (int i = 0; i <= kGrid; ++i) {
        for (int j = 0; j <= kGrid; ++j) {
            consider(r.areaXmin + (r.areaXmax - r.areaXmin) * static_cast<long double>(i) / kGrid,
                     r.areaYmin + (r.areaYmax - r.areaYmin) * static_cast<long double>(j) / kGrid);
        }
    }
    for (const CalibrationObservation& o : r.summary.measurements) consider(o.x, o.y);
    return worst;
}

// The geometry that separates f from the distance: the largest relative
// depth range of the points of one image, and the largest angle between two
// viewing directions.  False when it cannot be computed.
bool BlockGeometry(const CameraCalibrationResult& r, long double& depthShare, long double& viewAngle) {
    return GuardedComputation([&] {
        const CalibrationSummary& s = r.summary;
        const std::int32_t m = r.images;
        if (m < 1 || s.adjusted.size() < 6 * static_cast<std::size_t>(m)) return false;
        const std::size_t imageStart = s.adjusted.size() - 6 * static_cast<std::size_t>(m);
        std::vector<std::array<long double, 9>> R(static_cast<std::size_t>(m));
        for (std::int32_t j = 0; j < m; ++j) {
            const long double* o = s.adjusted.data() + imageStart + 6 * static_cast<std::size_t>(j);
            MatPtr rot;
            if (!RotationMatrix(rot, o[3], o[4], o[5])) return false;
            for (int q = 0; q < 9; ++q) R[static_cast<std::size_t>(j)][static_cast<std::size_t>(q)] = rot->GetPrvek(1, q + 1);
        }
        // Depths W of the measured points, per image.
        std::vector<long double> lo(static_cast<std::size_t>(m), 0.0L), hi(static_cast<std::size_t>(m), 0.0L),
            sum(static_cast<std::size_t>(m), 0.0L);
        std::vector<std::int32_t> count(static_cast<std::size_t>(m), 0);
        for (const CalibrationObservation& o : s.measurements) {
            const auto point = static_cast<std::size_t>(o.listRow - 1);
            if (o.listRow < 1 || 3 * point + 2 >= imageStart || o.image < 1 || o.image > m) return false;
            const auto j = static_cast<std::size_t>(o.image - 1);
            const long double* c = s.adjusted.data() + imageStart + 6 * j;
            const long double dX = s.adjusted[3 * point] - c[0];
            const long double dY = s.adjusted[3 * point + 1] - c[1];
            const long double dZ = s.adjusted[3 * point + 2] - c[2];
            const auto& rr = R[j];
            const long double W = std::fabs(rr[2] * dX + rr[5] * dY + rr[8] * dZ);
            if (count[j] == 0) {
                lo[j] = hi[j] = W;
            } else {
                lo[j] = std::min(lo[j], W);
                hi[j] = std::max(hi[j], W);
            }
            sum[j] += W;
            ++count[j];
        }
        depthShare = 0.0L;
        for (std::size_t j = 0; j < static_cast<std::size_t>(m); ++j) {
            if (count[j] > 0 && sum[j] > 0.0L) {
                depthShare = std::max(depthShare, (hi[j] - lo[j]) / (sum[j] / static_cast<long double>(count[j])));
            }
        }
        // Viewing direction: minus the third column of R.
        viewAngle = 0.0L;
        for (std::size_t a = 0; a < R.size(); ++a) {
            for (std::size_t b = a + 1; b < R.size(); ++b) {
                const long double dot = R[a][2] * R[b][2] + R[a][5] * R[b][5] + R[a][8] * R[b][8];
                const long double cosine = std::clamp(dot, -1.0L, 1.0L);
                viewAngle = std::max(viewAngle, Atan2(std::sqrt((1.0L + cosine) * (1.0L - cosine)), cosine));
            }
        }
        viewAngle = viewAngle * 180.0L / std::numbers::pi_v<long double>;
        return true;
    });
}

}  // namespace

std::vector<std::string> CalibrationWarnings(const ProjectState& state, char decimal) {
    std::vector<std::string> out;
    if (!state.Calibration) return out;
    const CameraCalibrationResult& r = *state.Calibration;
    const CalibrationSummary& s = r.summary;

    if (s.limitReached) {
        out.push_back(kSubject + "výpočet skončil na maximálním počtu iterací (" +
                      FormatGeneral(static_cast<long double>(s.passes), decimal) +
                      ") a nekonvergoval; zvyšte „Maximální počet iterací“ nebo zafixujte některé parametry");
    }

    // Parameters estimated from noise.
    std::vector<std::string> weak;
    for (int j = 0; j < kCameraParameterCount; ++j) {
        const auto sj = static_cast<std::size_t>(j);
        if (s.free[sj] && r.criticalRatio > 0.0L && !r.significant[sj]) weak.push_back(CameraParameterName(j));
    }
    if (!weak.empty()) {
        out.push_back(kSubject + (weak.size() == 1 ? "parametr " : "parametry ") + detail::ListText(weak) +
                      (weak.size() == 1 ? " není významný" : " nejsou významné") +
                      " (|hodnota| / směrodatná odchylka nepřesahuje " +
                      FormatPattern("0.00", r.criticalRatio, decimal) + "); zvažte " +
                      (weak.size() == 1 ? "jeho" : "jejich") + " zafixování");
    }

    // Parameters the data cannot tell apart; the later one is the one to fix
    // (k3 rather than k2, the decentring rather than the principal point).
    for (int a = 0; a < kCameraParameterCount; ++a) {
        for (int b = a + 1; b < kCameraParameterCount; ++b) {
            const auto sa = static_cast<std::size_t>(a), sb = static_cast<std::size_t>(b);
            if (!s.free[sa] || !s.free[sb]) continue;
            const long double rho = s.correlation[sa][sb];
            if (!(std::fabs(rho) > kStrongCameraCorrelation)) continue;
            out.push_back(kSubject + "parametry " + CameraParameterName(a) + " a " + CameraParameterName(b) +
                          " jsou silně korelované (r = " + FormatSigned("0.000", rho, decimal) +
                          "); zvažte zafixování jednoho z nich, např. " + CameraParameterName(b));
        }
    }

    // Moves a lens does not make.
    const long double diagonal = std::hypot(r.areaXmax - r.areaXmin, r.areaYmax - r.areaYmin);
    if (diagonal > 0.0L) {
        const long double shift = std::hypot(s.camera.x0 - r.before.x0, s.camera.y0 - r.before.y0);
        if ((s.free[kParamX0] || s.free[kParamY0]) && shift > kPrincipalPointShiftShare * diagonal) {
            out.push_back(kSubject + "hlavní snímkový bod se posunul o " + Length(shift, decimal) +
                          " jednotek snímkových souřadnic, více než " +
                          FormatGeneral(100.0L * kPrincipalPointShiftShare, decimal) +
                          " % úhlopříčky měřené oblasti (" + Length(diagonal, decimal) +
                          "); zkontrolujte výchozí hodnoty nebo zafixujte x0, y0");
        }
        const long double change = LargestCorrectionChange(r);
        if (change > kDistortionChangeShare * diagonal) {
            out.push_back(kSubject + "oprava o distorzi se v měřené oblasti změnila až o " + Length(change, decimal) +
                          " jednotek snímkových souřadnic, více než " +
                          FormatGeneral(100.0L * kDistortionChangeShare, decimal) +
                          " % úhlopříčky měřené oblasti (" + Length(diagonal, decimal) +
                          "); zkontrolujte výchozí hodnoty nebo zafixujte k3, p1, p2");
        }
    }

    // What separates the camera constant from the distance.
    if (s.free[kParamF]) {
        long double depth = 0.0L, angle = 0.0L;
        if (r.images < kMinCalibrationImages) {
            out.push_back(kSubject + "jen " + FormatGeneral(static_cast<long double>(r.images), decimal) +
                          " snímky; konstanta komory se od vzdálenosti předmětu spolehlivě oddělí nejméně z " +
                          FormatGeneral(static_cast<long double>(kMinCalibrationImages), decimal) +
                          " snímků s různým natočením");
        } else if (BlockGeometry(r, depth, angle) && depth < kMinDepthShare && angle < kMinViewAngleDegrees) {
            out.push_back(kSubject + "předmět nemá hloubku (rozsah hloubek na snímku nejvýše " +
                          FormatPattern("0.0", 100.0L * depth, decimal) + " % vzdálenosti) a osy záběru svírají nejvýše " +
                          FormatPattern("0.0", angle, decimal) +
                          "°; konstanta komory se neoddělí od vzdálenosti předmětu - přidejte sbíhavé a pootočené snímky nebo zafixujte f");
        }
    }
    return out;
}

}  // namespace pelvanor
