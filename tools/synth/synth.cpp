#include "tools/synth/synth.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <sstream>
#include <system_error>

namespace pelvanor::synth {

namespace {

constexpr long double kPi = std::numbers::pi_v<long double>;

// Reproducible random numbers: the raw 64-bit stream of mt19937_64 is fixed
// by the standard, the standard distributions are not, so uniform and
// normal deviates are made here from the raw stream.
class Random {
public:
    explicit Random(std::uint64_t seed) : engine_(seed) {}

    // Uniform in [0, 1), 64 random bits of mantissa.
    long double Uniform() { return static_cast<long double>(engine_()) * 0x1p-64L; }
    // Uniform in [a, b).
    long double Uniform(long double a, long double b) { return a + (b - a) * Uniform(); }
    // Standard normal deviate (Box-Muller; one deviate per call).
    long double Normal() {
        long double u1 = Uniform();
        while (u1 <= 0.0L) u1 = Uniform();
        const long double u2 = Uniform();
        return std::sqrt(-2.0L * std::log(u1)) * std::cos(2.0L * kPi * u2);
    }
    // Index in [0, n).
    std::size_t Index(std::size_t n) {
        return static_cast<std::size_t>(engine_() % static_cast<std::uint64_t>(n));
    }

private:
    std::mt19937_64 engine_;
};

// Object geometry, object units (metres in the realistic variant): a facade
// of kWidth x kHeight in the plane Z = 0 with relief up to kRelief towards
// the cameras, photographed from about kDistance.
constexpr long double kWidth = 30.0L;
constexpr long double kHeight = 14.0L;
constexpr long double kRelief = 3.0L;
constexpr long double kPlaneRelief = 0.4L;  // heights of the tie targets of the test field
constexpr long double kDistance = 16.0L;
// Stations spread along the facade over +-kStationSpread of its width and
// aim at points spread over +-kAimSpread, so that the views converge a
// little and each image sees a part of the facade; the four common control
// points stand within +-kCommonSpread of the middle.
constexpr long double kStationSpread = 0.4L;
constexpr long double kAimSpread = 0.27L;
constexpr long double kCommonSpread = 0.1L;

// Reference camera in millimetres: 24 mm lens on a 36 x 24 mm frame.
constexpr long double kFocalMm = 24.0L;
constexpr long double kFrameW = 36.0L;
constexpr long double kFrameH = 24.0L;

struct Setup {
    Camera camera;
    Frame frame;
};

// The camera and the frame of the chosen units.  In the abstract units the
// image unit is the camera constant (f = 1) and the frame is centred on the
// origin; the distortion coefficients are the millimetre ones rescaled so
// that the same lens results.
Setup MakeSetup(const Options& o) {
    Setup s;
    if (o.realistic) {
        s.camera = {kFocalMm, 18.1L, 11.9L, 5.0e-5L, -8.0e-8L, 4.0e-11L, 1.2e-5L, -8.0e-6L};
        s.frame = {0.0L, kFrameW, 0.0L, kFrameH};
    } else {
        // About the same lens with f as the image unit (24 mm): k1 scales
        // with 24^2, k2 with 24^4, k3 with 24^6, p1 and p2 with 24.
        s.camera = {1.0L, 0.004L, -0.003L, 0.03L, -0.025L, 0.008L, 0.0003L, -0.0002L};
        const long double hw = kFrameW / (2.0L * kFocalMm), hh = kFrameH / (2.0L * kFocalMm);
        s.frame = {-hw, hw, -hh, hh};
    }
    if (!o.distortion) {
        s.camera.k1 = s.camera.k2 = s.camera.k3 = s.camera.p1 = s.camera.p2 = 0.0L;
    }
    return s;
}

void Fail(std::string* error, const std::string& message) {
    if (error) *error = message;
}

bool InFrame(const Frame& fr, long double x, long double y) {
    return x >= fr.xmin && x <= fr.xmax && y >= fr.ymin && y <= fr.ymax;
}

// Raw, noise-free image coordinates of a point on one image; false when it
// is behind the camera, outside the frame or the inversion fails.
bool Sees(const Station& st, const Camera& cam, const Frame& fr, long double X, long double Y,
          long double Z, long double& xc, long double& yc, long double& xr, long double& yr) {
    if (!ProjectPoint(st, cam, X, Y, Z, xc, yc)) return false;
    // Far outside the frame the distortion polynomial is meaningless; do not
    // try to invert it there.
    const long double span = (fr.xmax - fr.xmin) + (fr.ymax - fr.ymin);
    const long double cx = 0.5L * (fr.xmin + fr.xmax), cy = -0.5L * (fr.ymin + fr.ymax);
    if (std::fabs(xc - cx) > span || std::fabs(yc - cy) > span) return false;
    if (!RawFromCorrected(cam, xc, yc, xr, yr)) return false;
    return InFrame(fr, xr, yr);
}

Camera CameraOfImage(const Project& p, int i) {
    Camera c = p.camera;
    c.f = p.stations[static_cast<std::size_t>(i)].f;
    return c;
}

int CountViews(const Project& p, const ObjectPoint& pt) {
    int n = 0;
    for (int i = 0; i < static_cast<int>(p.stations.size()); ++i) {
        long double xc, yc, xr, yr;
        if (Sees(p.stations[static_cast<std::size_t>(i)], CameraOfImage(p, i), p.frame, pt.X, pt.Y,
                 pt.Z, xc, yc, xr, yr))
            ++n;
    }
    return n;
}

std::string LineEnd(const Options& o) {
    return o.crlf ? "\r\n" : "\n";
}

}  // namespace

std::string FormatNumber(long double value) {
    if (value == 0.0L) value = 0.0L;  // no "-0"
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, res.ptr);
}

std::string ImageTag(int image, int image_count) {
    int width = 2;
    for (int n = image_count; n >= 100; n /= 10) ++width;
    std::string s = std::to_string(image);
    if (static_cast<int>(s.size()) < width)
        s.insert(0, static_cast<std::size_t>(width) - s.size(), '0');
    return s;
}

std::array<long double, 9> RotationFromAngles(long double alfa, long double beta,
                                              long double gama) {
    const long double ca = std::cos(alfa), sa = std::sin(alfa);
    const long double cb = std::cos(beta), sb = std::sin(beta);
    const long double cg = std::cos(gama), sg = std::sin(gama);
    // R1(alfa) R2(beta) R3(gama), multiplied out.
    return {cb * cg,
            -cb * sg,
            sb,
            ca * sg + sa * sb * cg,
            ca * cg - sa * sb * sg,
            -sa * cb,
            sa * sg - ca * sb * cg,
            sa * cg + ca * sb * sg,
            ca * cb};
}

std::array<long double, 3> CameraFromObject(const Station& st, long double X, long double Y,
                                            long double Z) {
    const auto r = RotationFromAngles(st.alfa, st.beta, st.gama);
    const long double dX = X - st.X0, dY = Y - st.Y0, dZ = Z - st.Z0;
    return {r[0] * dX + r[3] * dY + r[6] * dZ, r[1] * dX + r[4] * dY + r[7] * dZ,
            r[2] * dX + r[5] * dY + r[8] * dZ};
}

bool ProjectPoint(const Station& st, const Camera& cam, long double X, long double Y, long double Z,
                  long double& xc, long double& yc) {
    const auto uvw = CameraFromObject(st, X, Y, Z);
    // In front of the camera W is negative; a point close to the plane
    // through the centre parallel to the image would project to infinity.
    if (!(uvw[2] < 0.0L)) return false;
    xc = cam.x0 - st.f * uvw[0] / uvw[2];
    yc = -cam.y0 - st.f * uvw[1] / uvw[2];
    return std::isfinite(xc) && std::isfinite(yc);
}

void CorrectedFromRaw(const Camera& c, long double x, long double y, long double& xc,
                      long double& yc) {
    const long double xb = x - c.x0, yb = y - c.y0;
    const long double r = std::sqrt(xb * xb + yb * yb);
    const long double r2 = r * r;
    const long double dr = c.k1 * r2 + c.k2 * r2 * r2 + c.k3 * r2 * r2 * r2;
    const long double dx = xb * dr + c.p1 * (r2 + 2.0L * xb * xb) + 2.0L * c.p1 * xb * yb;
    const long double dy = yb * dr + c.p2 * (r2 + 2.0L * yb * yb) + 2.0L * c.p2 * xb * yb;
    xc = x + dx;
    yc = -(y + dy);
}

bool RawFromCorrected(const Camera& c, long double xc, long double yc, long double& x,
                      long double& y) {
    // Solve x + dx(x, y) = xc, y + dy(x, y) = -yc by Newton's method with the
    // analytic Jacobian, starting from the undistorted position.
    const long double scale =
        std::max({std::fabs(xc), std::fabs(yc), std::fabs(c.x0), std::fabs(c.y0), 1e-30L});
    x = xc;
    y = -yc;
    for (int it = 0; it < 60; ++it) {
        long double fx, fy;
        CorrectedFromRaw(c, x, y, fx, fy);
        const long double g1 = fx - xc;   // x + dx - xc
        const long double g2 = -fy + yc;  // y + dy + yc
        const long double xb = x - c.x0, yb = y - c.y0;
        const long double r2 = xb * xb + yb * yb;
        const long double dr = c.k1 * r2 + c.k2 * r2 * r2 + c.k3 * r2 * r2 * r2;
        const long double ddr = c.k1 + 2.0L * c.k2 * r2 + 3.0L * c.k3 * r2 * r2;  // d(dr)/d(r^2)
        const long double a11 =
            1.0L + dr + 2.0L * xb * xb * ddr + 6.0L * c.p1 * xb + 2.0L * c.p1 * yb;
        const long double a12 = 2.0L * xb * yb * ddr + 2.0L * c.p1 * yb + 2.0L * c.p1 * xb;
        const long double a21 = 2.0L * xb * yb * ddr + 2.0L * c.p2 * xb + 2.0L * c.p2 * yb;
        const long double a22 =
            1.0L + dr + 2.0L * yb * yb * ddr + 6.0L * c.p2 * yb + 2.0L * c.p2 * xb;
        const long double det = a11 * a22 - a12 * a21;
        if (!(std::fabs(det) > 1e-12L)) return false;  // the distortion folds the image here
        const long double sx = (a22 * g1 - a12 * g2) / det;
        const long double sy = (a11 * g2 - a21 * g1) / det;
        x -= sx;
        y -= sy;
        if (!std::isfinite(x) || !std::isfinite(y)) return false;
        if (std::fabs(sx) + std::fabs(sy) <= 1e-18L * scale) break;
    }
    long double fx, fy;
    CorrectedFromRaw(c, x, y, fx, fy);
    return std::fabs(fx - xc) <= 1e-15L * scale && std::fabs(fy - yc) <= 1e-15L * scale;
}

bool Generate(const Options& o, Project& p, std::string* error) {
    p = Project{};
    p.options = o;
    if (o.images < 1 || o.images > 999) return Fail(error, "images must be 1..999"), false;
    if (o.control < 4) return Fail(error, "at least four control points are needed"), false;
    if (o.points < 0) return Fail(error, "points must not be negative"), false;
    if (o.points > 0 && o.images < 2)
        return Fail(error, "tie points need at least two images"), false;
    if (!(o.sigma >= 0.0L) || !std::isfinite(o.sigma)) return Fail(error, "bad sigma"), false;
    if (o.max_views < 0 || o.max_views == 1)
        return Fail(error, "max_views must be 0 or at least 2"), false;
    if (o.gross < 0 || o.gross > o.points)
        return Fail(error, "gross errors need as many tie points"), false;
    if (!(o.f_spread >= 0.0L) || !std::isfinite(o.f_spread))
        return Fail(error, "bad f spread"), false;
    if (!(o.gross_size >= 0.0L) || !std::isfinite(o.gross_size))
        return Fail(error, "bad gross error size"), false;
    {
        const long long views = o.max_views > 0 ? std::min(o.max_views, o.images) : o.images;
        const long long lines =
            views * static_cast<long long>(o.points) + static_cast<long long>(o.images) * o.control;
        if (lines > 65535) return Fail(error, "more than 65535 lines in the files"), false;
    }

    const Setup setup = MakeSetup(o);
    p.camera = setup.camera;
    p.frame = setup.frame;
    Random rnd(o.seed);

    const long double relief = o.plane ? kPlaneRelief : kRelief;
    const long double cx = 0.5L * kWidth, cy = 0.5L * kHeight;

    // Stations along the facade, alternately a little above and below its
    // middle, aimed at points that converge towards its centre, with small
    // aiming errors and an arbitrary roll within +-0.3 rad.  The four common
    // control points stand well spread around the centre; off the plane
    // they are far from coplanar.  A draw in which a station misses one of
    // them is drawn again (from the same stream, so still reproducible).
    const int m = o.images;
    const long double h1[4] = {0.0L, 3.0L, 0.9L, 0.45L};
    const long double sx[4] = {-1.0L, 1.0L, -1.0L, 1.0L};
    const long double sy[4] = {-1.0L, -1.0L, 1.0L, 1.0L};
    bool common_seen = false;
    for (int draw = 0; draw < 100 && !common_seen; ++draw) {
        p.stations.clear();
        p.control_points.clear();
        for (int i = 0; i < m; ++i) {
            Station st;
            const long double t =
                m == 1 ? 0.0L : -1.0L + 2.0L * i / static_cast<long double>(m - 1);
            const long double psi = (i % 2 == 0 ? 0.08L : -0.08L) + rnd.Uniform(-0.03L, 0.03L);
            const long double dist = kDistance + rnd.Uniform(-1.0L, 1.0L);
            st.X0 = cx + kStationSpread * kWidth * t + rnd.Uniform(-0.3L, 0.3L);
            st.Y0 = cy + dist * std::tan(psi);
            st.Z0 = dist + rnd.Uniform(0.0L, 0.5L) * relief;
            const long double tx = cx + kAimSpread * kWidth * t + rnd.Uniform(-0.3L, 0.3L);
            const long double ty = cy + rnd.Uniform(-0.5L, 0.5L);
            const long double tz = 0.5L * relief;
            long double dx = tx - st.X0, dy = ty - st.Y0, dz = tz - st.Z0;
            const long double len = std::sqrt(dx * dx + dy * dy + dz * dz);
            dx /= len;
            dy /= len;
            dz /= len;
            // The third column of R is minus the viewing direction:
            // (sin b, -sin a cos b, cos a cos b) = -(dx, dy, dz).
            st.beta = std::asin(-dx) + rnd.Uniform(-0.02L, 0.02L);
            st.alfa = std::atan2(dy, -dz) + rnd.Uniform(-0.02L, 0.02L);
            st.gama = rnd.Uniform(-0.3L, 0.3L);
            const long double u = rnd.Uniform(-1.0L, 1.0L);
            st.f = p.camera.f + o.f_spread * u;
            p.stations.push_back(st);
        }
        common_seen = true;
        for (int k = 0; k < 4; ++k) {
            ObjectPoint pt;
            pt.id = k + 1;
            pt.X = cx + sx[k] * kCommonSpread * kWidth + rnd.Uniform(-0.3L, 0.3L);
            pt.Y = cy + sy[k] * 0.3L * kHeight + rnd.Uniform(-0.3L, 0.3L);
            pt.Z = o.plane ? 0.0L : h1[k];
            if (CountViews(p, pt) != m) common_seen = false;
            p.control_points.push_back(pt);
        }
    }
    if (!common_seen)
        return Fail(error, "the common control points are not seen on every image"), false;
    const int min_views = std::min(std::max(o.min_control_images, 1), m);
    long long attempts = 0;
    while (static_cast<int>(p.control_points.size()) < o.control) {
        if (++attempts > 1000LL * o.control) return Fail(error, "control points do not fit"), false;
        ObjectPoint pt;
        pt.id = static_cast<long long>(p.control_points.size()) + 1;
        pt.X = rnd.Uniform(0.0L, kWidth);
        pt.Y = rnd.Uniform(0.0L, kHeight);
        const long double z = rnd.Uniform(0.0L, kRelief);
        pt.Z = o.plane ? 0.0L : z;
        if (CountViews(p, pt) >= min_views) p.control_points.push_back(pt);
    }

    // Tie points, numbered from the next thousand on.
    const long long tie_base = 1000LL * ((o.control + 1000) / 1000) + 1;
    attempts = 0;
    while (static_cast<int>(p.tie_points.size()) < o.points) {
        if (++attempts > 1000LL * o.points) return Fail(error, "tie points do not fit"), false;
        ObjectPoint pt;
        pt.id = tie_base + static_cast<long long>(p.tie_points.size());
        pt.X = rnd.Uniform(-0.05L * kWidth, 1.05L * kWidth);
        pt.Y = rnd.Uniform(-0.05L * kHeight, 1.05L * kHeight);
        pt.Z = rnd.Uniform(0.0L, relief);
        if (CountViews(p, pt) >= 2) p.tie_points.push_back(pt);
    }

    // With max_views, the images each tie point is measured on: the nearest
    // of those that see it.
    std::vector<std::vector<bool>> measured_on;
    if (o.max_views > 0) {
        measured_on.assign(p.tie_points.size(), std::vector<bool>(static_cast<std::size_t>(m), false));
        for (std::size_t k = 0; k < p.tie_points.size(); ++k) {
            const ObjectPoint& pt = p.tie_points[k];
            std::vector<std::pair<long double, int>> near;
            for (int i = 0; i < m; ++i) {
                const Station& st = p.stations[static_cast<std::size_t>(i)];
                long double xc, yc, xr, yr;
                if (!Sees(st, CameraOfImage(p, i), p.frame, pt.X, pt.Y, pt.Z, xc, yc, xr, yr)) continue;
                const long double dx = pt.X - st.X0, dy = pt.Y - st.Y0, dz = pt.Z - st.Z0;
                near.emplace_back(dx * dx + dy * dy + dz * dz, i);
            }
            std::sort(near.begin(), near.end());
            for (std::size_t j = 0; j < near.size() && j < static_cast<std::size_t>(o.max_views); ++j)
                measured_on[k][static_cast<std::size_t>(near[j].second)] = true;
        }
    }

    // Measurements, image by image, control points first, noise-free.
    p.images.resize(static_cast<std::size_t>(m));
    for (int i = 0; i < m; ++i) {
        const Station& st = p.stations[static_cast<std::size_t>(i)];
        const Camera cam = CameraOfImage(p, i);
        Image& img = p.images[static_cast<std::size_t>(i)];
        auto add = [&](const ObjectPoint& pt, std::vector<Observation>& list) {
            Observation ob;
            long double xr, yr;
            if (!Sees(st, cam, p.frame, pt.X, pt.Y, pt.Z, ob.x_true, ob.y_true, xr, yr)) return;
            ob.id = pt.id;
            ob.x_meas = ob.x_true;
            ob.y_meas = ob.y_true;
            list.push_back(ob);
        };
        for (const auto& pt : p.control_points) add(pt, img.control);
        if (o.control_in_images)
            for (const auto& pt : p.control_points) add(pt, img.points);
        for (std::size_t k = 0; k < p.tie_points.size(); ++k) {
            if (o.max_views > 0 && !measured_on[k][static_cast<std::size_t>(i)]) continue;
            add(p.tie_points[k], img.points);
        }
    }

    // Noise, in the corrected frame, in file order.
    if (o.sigma > 0.0L) {
        for (auto& img : p.images) {
            for (auto& ob : img.control) {
                ob.x_meas += o.sigma * rnd.Normal();
                ob.y_meas += o.sigma * rnd.Normal();
            }
            for (auto& ob : img.points) {
                // A control point listed in the image file carries the same
                // measurement as in the control file.
                const auto same = std::find_if(img.control.begin(), img.control.end(),
                                               [&](const Observation& c) { return c.id == ob.id; });
                if (same != img.control.end()) {
                    ob.x_meas = same->x_meas;
                    ob.y_meas = same->y_meas;
                    continue;
                }
                ob.x_meas += o.sigma * rnd.Normal();
                ob.y_meas += o.sigma * rnd.Normal();
            }
        }
    }

    // Gross errors: one measurement each of distinct tie points seen on three
    // or more images (so that the error can be told from the geometry);
    // points seen on two images only when there are not enough of those.
    if (o.gross > 0) {
        const long double size =
            o.gross_size > 0.0L ? o.gross_size : 0.005L * (p.frame.xmax - p.frame.xmin);
        std::vector<std::pair<long long, std::vector<int>>> seen;  // id, images
        for (const auto& pt : p.tie_points) {
            std::vector<int> on;
            for (int i = 0; i < m; ++i)
                for (const auto& ob : p.images[static_cast<std::size_t>(i)].points)
                    if (ob.id == pt.id) on.push_back(i);
            seen.emplace_back(pt.id, on);
        }
        // Fisher-Yates shuffle with the generator's own stream, then the
        // points on three or more images first.
        for (std::size_t k = seen.size(); k > 1; --k) std::swap(seen[k - 1], seen[rnd.Index(k)]);
        std::stable_partition(seen.begin(), seen.end(),
                              [](const auto& s) { return s.second.size() >= 3; });
        for (int g = 0; g < o.gross; ++g) {
            const auto& [id, on] = seen[static_cast<std::size_t>(g)];
            const int image = on[rnd.Index(on.size())];
            const long double angle = rnd.Uniform(0.0L, 2.0L * kPi);
            GrossError ge{id, image + 1, size * std::cos(angle), size * std::sin(angle)};
            for (auto& ob : p.images[static_cast<std::size_t>(image)].points)
                if (ob.id == id) {
                    ob.x_meas += ge.dx;
                    ob.y_meas += ge.dy;
                }
            p.gross_errors.push_back(ge);
        }
        std::sort(p.gross_errors.begin(), p.gross_errors.end(),
                  [](const GrossError& a, const GrossError& b) { return a.id < b.id; });
    }

    // Back to the raw frame of the measuring system.
    for (int i = 0; i < m; ++i) {
        const Camera cam = CameraOfImage(p, i);
        for (auto* list : {&p.images[static_cast<std::size_t>(i)].control,
                           &p.images[static_cast<std::size_t>(i)].points})
            for (auto& ob : *list)
                if (!RawFromCorrected(cam, ob.x_meas, ob.y_meas, ob.x_raw, ob.y_raw))
                    return Fail(error, "distortion inversion failed"), false;
    }
    return true;
}

InputTables MakeInputTables(const Project& p) {
    InputTables t;
    const auto n = static_cast<std::uint16_t>(p.images.size());
    std::size_t nc = 0, ni = 0;
    for (const auto& img : p.images) {
        nc += img.control.size();
        ni += img.points.size();
    }
    t.control_points = NewMatrix(static_cast<std::uint16_t>(nc), 6);
    t.image_points = NewMatrix(static_cast<std::uint16_t>(ni), 4);
    t.control_counts = NewMatrix(n, 1);
    t.control_ranges = NewMatrix(n, 2);
    t.image_counts = NewMatrix(n, 1);
    t.image_ranges = NewMatrix(n, 2);
    t.selected_orientation_points = NewMatrix(static_cast<std::uint16_t>(4 * n), 1);
    auto find = [&](long long id) -> const ObjectPoint* {
        for (const auto& pt : p.control_points)
            if (pt.id == id) return &pt;
        return nullptr;
    };
    int rc = 0, ri = 0;
    for (int i = 1; i <= n; ++i) {
        const Image& img = p.images[static_cast<std::size_t>(i - 1)];
        t.control_counts->SetPrvek(i, 1, static_cast<long double>(img.control.size()));
        t.control_ranges->SetPrvek(i, 1, rc + 1);
        t.control_ranges->SetPrvek(i, 2, rc + static_cast<long double>(img.control.size()));
        for (std::size_t k = 0; k < img.control.size(); ++k) {
            const Observation& ob = img.control[k];
            const ObjectPoint* pt = find(ob.id);
            ++rc;
            t.control_points->SetPrvek(rc, 1, static_cast<long double>(ob.id));
            t.control_points->SetPrvek(rc, 2, pt ? pt->X : 0.0L);
            t.control_points->SetPrvek(rc, 3, pt ? pt->Y : 0.0L);
            t.control_points->SetPrvek(rc, 4, pt ? pt->Z : 0.0L);
            t.control_points->SetPrvek(rc, 5, ob.x_raw);
            t.control_points->SetPrvek(rc, 6, ob.y_raw);
            if (k < 4)
                t.selected_orientation_points->SetPrvek(4 * (i - 1) + 1 + static_cast<int>(k), 1,
                                                        static_cast<long double>(ob.id));
        }
        t.image_counts->SetPrvek(i, 1, static_cast<long double>(img.points.size()));
        t.image_ranges->SetPrvek(i, 1, ri + 1);
        t.image_ranges->SetPrvek(i, 2, ri + static_cast<long double>(img.points.size()));
        for (const Observation& ob : img.points) {
            ++ri;
            t.image_points->SetPrvek(ri, 1, static_cast<long double>(ob.id));
            t.image_points->SetPrvek(ri, 2, ob.x_raw);
            t.image_points->SetPrvek(ri, 3, ob.y_raw);
        }
    }
    return t;
}

MatPtr TruthOrientationRows(const Project& p) {
    MatPtr rows = NewMatrix(static_cast<std::uint16_t>(p.stations.size()), 12);
    for (std::size_t i = 0; i < p.stations.size(); ++i) {
        const Station& s = p.stations[i];
        const auto r = RotationFromAngles(s.alfa, s.beta, s.gama);
        const int row = static_cast<int>(i) + 1;
        for (int k = 0; k < 9; ++k) rows->SetPrvek(row, k + 1, r[static_cast<std::size_t>(k)]);
        rows->SetPrvek(row, 10, s.X0);
        rows->SetPrvek(row, 11, s.Y0);
        rows->SetPrvek(row, 12, s.Z0);
    }
    return rows;
}

bool WriteProject(const Project& p, const std::string& dir, std::string* error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) return Fail(error, "cannot create " + dir + ": " + ec.message()), false;
    const std::string nl = LineEnd(p.options);
    auto write = [&](const std::string& name, const std::string& text) {
        const fs::path path = fs::path(dir) / name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            Fail(error, "cannot write " + path.string());
            return false;
        }
        return true;
    };
    const int m = static_cast<int>(p.stations.size());
    const Camera& c = p.camera;
    std::string cam;
    for (long double v : {c.f, c.x0, c.y0, c.k1, c.k2, c.k3, c.p1, c.p2})
        cam += FormatNumber(v) + nl;
    if (!write("camera.txt", cam)) return false;

    auto find = [&](long long id) -> const ObjectPoint& {
        for (const auto& pt : p.control_points)
            if (pt.id == id) return pt;
        for (const auto& pt : p.tie_points)
            if (pt.id == id) return pt;
        return p.control_points.front();  // not reached: every observation has its point
    };
    for (int i = 0; i < m; ++i) {
        const Image& img = p.images[static_cast<std::size_t>(i)];
        std::string ctrl, pts;
        for (const auto& ob : img.control) {
            const ObjectPoint& pt = find(ob.id);
            ctrl += std::to_string(ob.id) + ' ' + FormatNumber(pt.X) + ' ' + FormatNumber(pt.Y) +
                    ' ' + FormatNumber(pt.Z) + ' ' + FormatNumber(ob.x_raw) + ' ' +
                    FormatNumber(ob.y_raw) + nl;
        }
        for (const auto& ob : img.points)
            pts += std::to_string(ob.id) + ' ' + FormatNumber(ob.x_raw) + ' ' +
                   FormatNumber(ob.y_raw) + " 0" + nl;
        const std::string tag = ImageTag(i + 1, m);
        if (!write("ctrl_" + tag + ".txt", ctrl) || !write("img_" + tag + ".txt", pts))
            return false;
    }

    std::string eo;
    for (int i = 0; i < m; ++i) {
        const Station& s = p.stations[static_cast<std::size_t>(i)];
        eo += std::to_string(i + 1);
        for (long double v : {s.X0, s.Y0, s.Z0, s.alfa, s.beta, s.gama, s.f})
            eo += ' ' + FormatNumber(v);
        eo += nl;
    }
    std::string pts;
    for (const auto* list : {&p.control_points, &p.tie_points})
        for (const auto& pt : *list)
            pts += std::to_string(pt.id) + ' ' + FormatNumber(pt.X) + ' ' + FormatNumber(pt.Y) +
                   ' ' + FormatNumber(pt.Z) + nl;
    std::string gross;
    for (const auto& g : p.gross_errors)
        gross += std::to_string(g.id) + ' ' + std::to_string(g.image) + ' ' + FormatNumber(g.dx) +
                 ' ' + FormatNumber(g.dy) + nl;
    return write("truth_eo.txt", eo) && write("truth_points.txt", pts) &&
           write("truth_gross.txt", gross);
}

}  // namespace pelvanor::synth
