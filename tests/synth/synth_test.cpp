// The synthetic-project generator against an independent reading of its
// files: the files are parsed here, corrected with the distortion model
// written out afresh, and compared with projections computed here from the
// written truth through the rotation built as a product of three matrices.

#include "tools/synth/synth.h"

#include <array>
#include <charconv>
#include <clocale>
#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/test_util.h"

namespace pelvanor::synth {
namespace {

using Rows = std::vector<std::vector<long double>>;

// Every line of a file as numbers; a line that is not all numbers fails the test.
Rows ReadRows(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    Rows rows;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<long double> row;
        std::istringstream words(line);
        std::string w;
        while (words >> w) {
            long double v = 0.0L;
            const auto r = std::from_chars(w.data(), w.data() + w.size(), v);
            EXPECT_TRUE(r.ec == std::errc() && r.ptr == w.data() + w.size()) << path << ": " << w;
            row.push_back(v);
        }
        rows.push_back(row);
    }
    return rows;
}

using M3 = std::array<std::array<long double, 3>, 3>;

M3 Mul(const M3& a, const M3& b) {
    M3 c{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) c[i][j] += a[i][k] * b[k][j];
    return c;
}

// R = R1(alfa) R2(beta) R3(gama) as a product of elementary rotations.
M3 Rotation(long double a, long double b, long double g) {
    const M3 r1{{{1, 0, 0}, {0, std::cos(a), -std::sin(a)}, {0, std::sin(a), std::cos(a)}}};
    const M3 r2{{{std::cos(b), 0, std::sin(b)}, {0, 1, 0}, {-std::sin(b), 0, std::cos(b)}}};
    const M3 r3{{{std::cos(g), -std::sin(g), 0}, {std::sin(g), std::cos(g), 0}, {0, 0, 1}}};
    return Mul(Mul(r1, r2), r3);
}

struct Truth {
    Rows camera, eo, points;
    std::map<long long, std::array<long double, 3>> xyz;
};

Truth ReadTruth(const test::TempDir& dir) {
    Truth t;
    t.camera = ReadRows(dir.Path("camera.txt"));
    t.eo = ReadRows(dir.Path("truth_eo.txt"));
    t.points = ReadRows(dir.Path("truth_points.txt"));
    for (const auto& r : t.points) t.xyz[std::llround(r[0])] = {r[1], r[2], r[3]};
    return t;
}

// Projection of point id on image i (1-based) from the written truth: (U, V, W)
// and the corrected coordinates.
void Projection(const Truth& t, int image, long long id, long double& xc, long double& yc,
                long double& w) {
    const auto& e = t.eo[static_cast<std::size_t>(image - 1)];
    const M3 R = Rotation(e[4], e[5], e[6]);
    const auto& p = t.xyz.at(id);
    const long double d[3] = {p[0] - e[1], p[1] - e[2], p[2] - e[3]};
    long double uvw[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k) uvw[i] += R[k][i] * d[k];  // R^T (P - C)
    const long double f = e[7], x0 = t.camera[1][0], y0 = t.camera[2][0];
    xc = x0 - f * uvw[0] / uvw[2];
    yc = -y0 - f * uvw[1] / uvw[2];
    w = uvw[2];
}

// The distortion correction with y reversal, as the program applies it to a file.
void Correct(const Rows& cam, long double x, long double y, long double& xc, long double& yc) {
    const long double x0 = cam[1][0], y0 = cam[2][0], k1 = cam[3][0], k2 = cam[4][0],
                      k3 = cam[5][0], p1 = cam[6][0], p2 = cam[7][0];
    const long double xb = x - x0, yb = y - y0;
    const long double r = std::sqrt(xb * xb + yb * yb);
    const long double dr = k1 * r * r + k2 * std::pow(r, 4) + k3 * std::pow(r, 6);
    const long double dx = xb * dr + p1 * (r * r + 2 * xb * xb) + 2 * p1 * xb * yb;
    const long double dy = yb * dr + p2 * (r * r + 2 * yb * yb) + 2 * p2 * xb * yb;
    xc = x + dx;
    yc = -(y + dy);
}

Project MakeAndWrite(const Options& o, const test::TempDir& dir) {
    Project p;
    std::string error;
    EXPECT_TRUE(Generate(o, p, &error)) << error;
    EXPECT_TRUE(WriteProject(p, dir.Dir().string(), &error)) << error;
    return p;
}

TEST(SynthModel, RotationAndProjectionWorkedExamples) {
    const auto id = RotationFromAngles(0, 0, 0);
    const std::array<long double, 9> eye{1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (int k = 0; k < 9; ++k) EXPECT_EQ(id[k], eye[k]);
    const auto rg = RotationFromAngles(0, 0, std::numbers::pi_v<long double> / 2);
    EXPECT_NEAR(static_cast<double>(rg[1]), -1.0, 1e-18);
    EXPECT_NEAR(static_cast<double>(rg[3]), 1.0, 1e-18);
    // The closed form against the product of the three elementary rotations.
    const M3 R = Rotation(0.2L, -0.25L, 0.3L);
    const auto r = RotationFromAngles(0.2L, -0.25L, 0.3L);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(static_cast<double>(r[3 * i + j] - R[i][j]), 0.0, 1e-18);

    Station st;
    st.Z0 = 10;
    st.f = 1;
    Camera cam;
    long double x, y;
    ASSERT_TRUE(ProjectPoint(st, cam, 1, 2, 0, x, y));
    EXPECT_NEAR(static_cast<double>(x), 0.1, 1e-18);
    EXPECT_NEAR(static_cast<double>(y), 0.2, 1e-18);
    cam.x0 = 0.05L;
    cam.y0 = 0.05L;
    ASSERT_TRUE(ProjectPoint(st, cam, 1, 2, 0, x, y));
    EXPECT_NEAR(static_cast<double>(x), 0.15, 1e-18);
    EXPECT_NEAR(static_cast<double>(y), 0.15, 1e-18);
    // Behind the camera and in its principal plane: not projected.
    EXPECT_FALSE(ProjectPoint(st, cam, 1, 2, 20, x, y));
    EXPECT_FALSE(ProjectPoint(st, cam, 1, 2, 10, x, y));
}

TEST(SynthModel, CorrectionWorkedExamplesAndInverse) {
    Camera c;
    c.x0 = 1;
    c.y0 = 2;
    c.k1 = 0.001L;
    long double xc, yc;
    CorrectedFromRaw(c, 3, 2, xc, yc);
    EXPECT_NEAR(static_cast<double>(xc), 3.008, 1e-15);
    EXPECT_NEAR(static_cast<double>(yc), -2.0, 1e-15);
    Camera d;
    d.p1 = 0.01L;
    CorrectedFromRaw(d, 1, 1, xc, yc);
    EXPECT_NEAR(static_cast<double>(xc), 1.06, 1e-15);
    EXPECT_NEAR(static_cast<double>(yc), -1.0, 1e-15);

    // Strong distortion of every kind: the inverse reproduces its input.
    Camera s{24, 18.1L, 11.9L, 2e-4L, -3e-7L, 1e-10L, 5e-5L, -4e-5L};
    for (long double x = 0; x <= 36; x += 4.5L)
        for (long double y = 0; y <= 24; y += 4) {
            CorrectedFromRaw(s, x, y, xc, yc);
            long double xr, yr;
            ASSERT_TRUE(RawFromCorrected(s, xc, yc, xr, yr));
            EXPECT_TRUE(test::IsNearRel(xr, x, 1e-16L)) << x << " " << y;
            EXPECT_TRUE(test::IsNearRel(yr, y, 1e-16L)) << x << " " << y;
        }
}

TEST(SynthModel, NumbersUsePointWhateverTheLocale) {
    const char* old = std::setlocale(LC_ALL, nullptr);
    const std::string saved = old ? old : "C";
    if (!std::setlocale(LC_ALL, "cs_CZ.UTF-8")) GTEST_SKIP() << "no Czech locale";
    EXPECT_EQ(FormatNumber(0.5L), "0.5");
    EXPECT_EQ(FormatNumber(-0.0L), "0");
    long double back = 0;
    const std::string s = FormatNumber(0.1L / 3.0L);
    std::from_chars(s.data(), s.data() + s.size(), back);
    EXPECT_EQ(back, 0.1L / 3.0L);
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(ImageTag(3, 12), "03");
    EXPECT_EQ(ImageTag(7, 120), "007");
}

// Written raw coordinates, corrected by the model, give the noise-free
// projections of the written truth; every written point is in front of its
// camera and inside the frame.
void CheckRoundTrip(const Options& o) {
    test::TempDir dir;
    const Project p = MakeAndWrite(o, dir);
    const Truth t = ReadTruth(dir);
    ASSERT_EQ(t.camera.size(), 8u);
    ASSERT_EQ(t.eo.size(), static_cast<std::size_t>(o.images));
    ASSERT_EQ(t.points.size(), static_cast<std::size_t>(o.control + o.points));
    std::map<long long, int> seen_on;  // tie point -> images
    std::vector<long long> common;
    for (int i = 1; i <= o.images; ++i) {
        const std::string tag = ImageTag(i, o.images);
        const Rows ctrl = ReadRows(dir.Path("ctrl_" + tag + ".txt"));
        const Rows img = ReadRows(dir.Path("img_" + tag + ".txt"));
        ASSERT_GE(ctrl.size(), 4u);
        std::vector<long long> first4;
        for (std::size_t k = 0; k < 4; ++k) first4.push_back(std::llround(ctrl[k][0]));
        if (i == 1) common = first4;
        EXPECT_EQ(first4, common) << "image " << i;
        auto check = [&](long long id, long double x, long double y) {
            long double xc, yc, xp, yp, w;
            Correct(t.camera, x, y, xc, yc);
            Projection(t, i, id, xp, yp, w);
            EXPECT_LT(w, 0.0L);
            EXPECT_TRUE(test::IsNearRel(xc, xp, 1e-12L)) << "image " << i << " point " << id;
            EXPECT_TRUE(test::IsNearRel(yc, yp, 1e-12L)) << "image " << i << " point " << id;
            EXPECT_TRUE(x >= p.frame.xmin && x <= p.frame.xmax && y >= p.frame.ymin &&
                        y <= p.frame.ymax);
        };
        std::set<long long> ids;
        for (const auto& r : ctrl) {
            ASSERT_EQ(r.size(), 6u);
            const long long id = std::llround(r[0]);
            EXPECT_TRUE(ids.insert(id).second);
            const auto& xyz = t.xyz.at(id);
            EXPECT_EQ(r[1], xyz[0]);
            EXPECT_EQ(r[2], xyz[1]);
            EXPECT_EQ(r[3], xyz[2]);
            if (o.plane) {
                EXPECT_EQ(r[3], 0.0L);
            }
            check(id, r[4], r[5]);
        }
        ids.clear();
        for (const auto& r : img) {
            ASSERT_EQ(r.size(), 4u);
            const long long id = std::llround(r[0]);
            EXPECT_TRUE(ids.insert(id).second);
            EXPECT_EQ(r[3], 0.0L);
            check(id, r[1], r[2]);
            ++seen_on[id];
        }
        // The camera constant of the image: the nominal one unless it varies.
        if (o.f_spread == 0) {
            EXPECT_EQ(t.eo[static_cast<std::size_t>(i - 1)][7], t.camera[0][0]);
        } else {
            EXPECT_LE(std::fabs(t.eo[static_cast<std::size_t>(i - 1)][7] - t.camera[0][0]),
                      o.f_spread);
        }
        for (int k = 4; k <= 6; ++k)
            EXPECT_LE(std::fabs(t.eo[static_cast<std::size_t>(i - 1)][k]), 0.33L);
    }
    EXPECT_EQ(seen_on.size(), static_cast<std::size_t>(o.points));
    for (const auto& [id, n] : seen_on) EXPECT_GE(n, 2) << id;
    // Every tie point that projects into some frame is written where it does.
    for (const auto& pt : p.tie_points) {
        int n = 0;
        for (int i = 1; i <= o.images; ++i) {
            long double xp, yp, w;
            Projection(t, i, pt.id, xp, yp, w);
            long double xr, yr;
            Camera cam = p.camera;
            cam.f = t.eo[static_cast<std::size_t>(i - 1)][7];
            if (w < 0 && RawFromCorrected(cam, xp, yp, xr, yr) && xr >= p.frame.xmin &&
                xr <= p.frame.xmax && yr >= p.frame.ymin && yr <= p.frame.ymax)
                ++n;
        }
        EXPECT_EQ(n, seen_on[pt.id]) << pt.id;
    }
}

TEST(SynthFiles, RoundTripGeneral) {
    Options o;
    o.images = 7;
    o.control = 12;
    o.points = 80;
    CheckRoundTrip(o);
}

TEST(SynthFiles, RoundTripPlaneRealisticWithVaryingCameraConstant) {
    Options o;
    o.images = 5;
    o.plane = true;
    o.realistic = true;
    o.f_spread = 0.2L;
    o.seed = 77;
    CheckRoundTrip(o);
}

TEST(SynthFiles, InMemoryTablesEqualTheFiles) {
    Options o;
    o.images = 4;
    o.sigma = 0.001L;
    o.control_in_images = true;
    test::TempDir dir;
    const Project p = MakeAndWrite(o, dir);
    const InputTables t = MakeInputTables(p);
    int rc = 0, ri = 0;
    for (int i = 1; i <= o.images; ++i) {
        const std::string tag = ImageTag(i, o.images);
        const Rows ctrl = ReadRows(dir.Path("ctrl_" + tag + ".txt"));
        const Rows img = ReadRows(dir.Path("img_" + tag + ".txt"));
        EXPECT_EQ(t.control_counts->GetPrvek(i, 1), static_cast<long double>(ctrl.size()));
        EXPECT_EQ(t.control_ranges->GetPrvek(i, 1), rc + 1);
        EXPECT_EQ(t.control_ranges->GetPrvek(i, 2), rc + static_cast<long double>(ctrl.size()));
        EXPECT_EQ(t.image_counts->GetPrvek(i, 1), static_cast<long double>(img.size()));
        EXPECT_EQ(t.image_ranges->GetPrvek(i, 2), ri + static_cast<long double>(img.size()));
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(t.selected_orientation_points->GetPrvek(4 * (i - 1) + 1 + k, 1),
                      ctrl[static_cast<std::size_t>(k)][0]);
        for (const auto& row : ctrl) {
            ++rc;
            for (int j = 1; j <= 6; ++j)
                EXPECT_EQ(t.control_points->GetPrvek(rc, j), row[static_cast<std::size_t>(j - 1)]);
        }
        for (const auto& row : img) {
            ++ri;
            for (int j = 1; j <= 4; ++j)
                EXPECT_EQ(t.image_points->GetPrvek(ri, j), row[static_cast<std::size_t>(j - 1)]);
        }
    }
    EXPECT_EQ(t.control_points->r, rc);
    EXPECT_EQ(t.image_points->r, ri);
    // Orientation rows: an orthonormal rotation and the centre.
    const MatPtr eo = TruthOrientationRows(p);
    ASSERT_EQ(eo->r, o.images);
    for (int i = 1; i <= o.images; ++i) {
        const M3 R = Rotation(p.stations[static_cast<std::size_t>(i - 1)].alfa,
                              p.stations[static_cast<std::size_t>(i - 1)].beta,
                              p.stations[static_cast<std::size_t>(i - 1)].gama);
        for (int k = 0; k < 9; ++k)
            EXPECT_NEAR(static_cast<double>(eo->GetPrvek(i, k + 1) - R[k / 3][k % 3]), 0.0, 1e-18);
        EXPECT_EQ(eo->GetPrvek(i, 10), p.stations[static_cast<std::size_t>(i - 1)].X0);
    }
}

TEST(SynthFiles, SameSeedSameFilesOtherSeedOtherFiles) {
    Options o;
    o.sigma = 0.0005L;
    o.gross = 3;
    test::TempDir a, b, c;
    MakeAndWrite(o, a);
    MakeAndWrite(o, b);
    o.seed = 2;
    MakeAndWrite(o, c);
    for (const char* name : {"camera.txt", "ctrl_01.txt", "img_04.txt", "truth_eo.txt",
                             "truth_points.txt", "truth_gross.txt"})
        EXPECT_EQ(test::ReadFileBytes(a.Path(name)), test::ReadFileBytes(b.Path(name))) << name;
    EXPECT_NE(test::ReadFileBytes(a.Path("img_04.txt")), test::ReadFileBytes(c.Path("img_04.txt")));
    EXPECT_NE(test::ReadFileBytes(a.Path("truth_eo.txt")),
              test::ReadFileBytes(c.Path("truth_eo.txt")));
}

TEST(SynthFiles, NoiseHasTheRequestedSpreadAndGrossErrorsAreWhereListed) {
    Options o;
    o.images = 8;
    o.points = 300;
    o.sigma = 0.001L;
    o.gross = 4;
    o.gross_size = 0.05L;
    test::TempDir dir;
    const Project p = MakeAndWrite(o, dir);
    const Truth t = ReadTruth(dir);
    const Rows gross = ReadRows(dir.Path("truth_gross.txt"));
    ASSERT_EQ(gross.size(), 4u);
    std::map<std::pair<long long, int>, std::array<long double, 2>> gross_at;
    for (const auto& g : gross) {
        gross_at[{std::llround(g[0]), static_cast<int>(std::llround(g[1]))}] = {g[2], g[3]};
        EXPECT_NEAR(static_cast<double>(std::hypot(g[2], g[3])), 0.05, 1e-15);
        EXPECT_GE(std::llround(g[0]), 1001);  // tie points only
    }
    long double sum = 0, sum2 = 0;
    long n = 0;
    for (int i = 1; i <= o.images; ++i) {
        const std::string tag = ImageTag(i, o.images);
        for (const auto& file : {"ctrl_", "img_"}) {
            const Rows rows = ReadRows(dir.Path(file + tag + ".txt"));
            const bool ctrl = std::string(file) == "ctrl_";
            for (const auto& r : rows) {
                const long long id = std::llround(r[0]);
                long double xc, yc, xp, yp, w;
                Correct(t.camera, r[ctrl ? 4 : 1], r[ctrl ? 5 : 2], xc, yc);
                Projection(t, i, id, xp, yp, w);
                long double ex = xc - xp, ey = yc - yp;
                const auto g = gross_at.find({id, i});
                if (g != gross_at.end()) {
                    ex -= g->second[0];
                    ey -= g->second[1];
                    gross_at.erase(g);
                }
                EXPECT_LT(std::fabs(ex), 6 * o.sigma) << id;
                EXPECT_LT(std::fabs(ey), 6 * o.sigma) << id;
                sum += ex + ey;
                sum2 += ex * ex + ey * ey;
                n += 2;
            }
        }
    }
    EXPECT_TRUE(gross_at.empty()) << "a listed gross error is not in the files";
    const long double mean = sum / n, sd = std::sqrt(sum2 / n - mean * mean);
    ASSERT_GT(n, 3000);
    EXPECT_LT(std::fabs(mean), 4 * o.sigma / std::sqrt(static_cast<long double>(n)));
    EXPECT_NEAR(static_cast<double>(sd / o.sigma), 1.0, 0.05);
    EXPECT_EQ(p.gross_errors.size(), 4u);
}

TEST(SynthFiles, PlaneVariantAndOptionsLimits) {
    Options o;
    o.plane = true;
    o.control_in_images = true;
    o.crlf = true;
    test::TempDir dir;
    const Project p = MakeAndWrite(o, dir);
    for (const auto& pt : p.control_points) EXPECT_EQ(pt.Z, 0.0L);
    for (const auto& pt : p.tie_points) EXPECT_TRUE(pt.Z >= 0 && pt.Z <= 0.5L);
    const std::string img = test::ReadFileBytes(dir.Path("img_01.txt"));
    EXPECT_EQ(img.rfind("1 ", 0), 0u) << "control points first in the image file";
    EXPECT_NE(img.find("\r\n"), std::string::npos);
    // The same measurement of a control point stands in both files.
    const Rows ctrl_rows = ReadRows(dir.Path("ctrl_01.txt"));
    const Rows img_rows = ReadRows(dir.Path("img_01.txt"));
    EXPECT_EQ(ctrl_rows[0][4], img_rows[0][1]);
    EXPECT_EQ(ctrl_rows[0][5], img_rows[0][2]);

    Project q;
    Options bad;
    bad.control = 3;
    EXPECT_FALSE(Generate(bad, q));
    bad = Options{};
    bad.images = 1;
    EXPECT_FALSE(Generate(bad, q));
    bad.points = 0;
    EXPECT_TRUE(Generate(bad, q));
    bad = Options{};
    bad.gross = bad.points + 1;
    EXPECT_FALSE(Generate(bad, q));
    bad = Options{};
    bad.images = 100;
    bad.points = 700;
    EXPECT_FALSE(Generate(bad, q)) << "more lines than a matrix holds";
}

}  // namespace
}  // namespace pelvanor::synth
