#include "bundle_fixture.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <locale>
#include <sstream>

#include "matrix/arithmetic.h"
#include "matrix/svd.h"
#include "orientation/collinearity.h"
#include "orientation/distortion.h"
#include "orientation/observation_assembly.h"
#include "tests/support/test_util.h"

namespace pelvanor::test {

namespace {

MatPtr TableOf(const std::vector<Rows>& perImage, std::uint16_t cols, MatPtr& counts, MatPtr& ranges) {
    std::size_t total = 0;
    for (const auto& rows : perImage) total += rows.size();
    const auto m = static_cast<std::uint16_t>(perImage.size());
    counts = NewMatrix(m, 1);
    ranges = NewMatrix(m, 2);
    MatPtr table = NewMatrix(static_cast<std::uint16_t>(total == 0 ? 1 : total), cols);
    std::int32_t row = 1;
    for (std::size_t i = 0; i < perImage.size(); ++i) {
        const auto img = static_cast<std::int32_t>(i + 1);
        counts->SetPrvek(img, 1, static_cast<long double>(perImage[i].size()));
        ranges->SetPrvek(img, 1, row);
        for (const auto& r : perImage[i]) {
            for (std::size_t j = 0; j < r.size() && j < cols; ++j) {
                table->SetPrvek(row, static_cast<std::int32_t>(j + 1), r[j]);
            }
            ++row;
        }
        ranges->SetPrvek(img, 2, row - 1);
    }
    return table;
}

std::vector<std::vector<long double>> ReadNumbers(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::vector<long double>> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        fields.imbue(std::locale::classic());
        std::vector<long double> values;
        long double v = 0.0L;
        while (fields >> v) values.push_back(v);
        if (!values.empty()) lines.push_back(values);
    }
    return lines;
}

}  // namespace

BundleData BuildData(const std::vector<Rows>& controlPerImage, const std::vector<Rows>& pointsPerImage,
                     long double x0, long double y0, long double f) {
    BundleData d;
    d.x0 = x0;
    d.y0 = y0;
    d.f = f;
    MatPtr controlRanges;
    d.control = TableOf(controlPerImage, 6, d.controlCounts, controlRanges);
    MatPtr ids;
    EXPECT_TRUE(DistinctPoints(d.control.get(), controlRanges.get(), d.controlCounts.get(), ids));
    EXPECT_TRUE(ControlPointIndex(d.control.get(), d.controlCounts.get(), ids.get(), d.controlTable,
                                  d.controlIndex));
    MatPtr imageRanges;
    d.image = TableOf(pointsPerImage, 3, d.imageCounts, imageRanges);
    bool anyPoint = false;
    for (const auto& rows : pointsPerImage) anyPoint = anyPoint || !rows.empty();
    if (!anyPoint) {
        d.tieIndex = NewMatrix(1, 1);
        d.tieCounts = NewMatrix(1, 1);
        return d;
    }
    MatPtr pointIds;
    EXPECT_TRUE(DistinctPoints(d.image.get(), imageRanges.get(), d.imageCounts.get(), pointIds));
    EXPECT_TRUE(TiePointIndex(d.image.get(), d.imageCounts.get(), pointIds.get(), d.tieCounts, d.tieIndex));
    return d;
}

BundleData FromSynth(const synth::Project& project, long double scale) {
    std::vector<Rows> control;
    std::vector<Rows> points;
    for (const auto& img : project.images) {
        Rows c;
        for (const auto& ob : img.control) {
            for (const auto& pt : project.control_points) {
                if (pt.id == ob.id) {
                    c.push_back({static_cast<long double>(ob.id), pt.X, pt.Y, pt.Z, ob.x_meas * scale,
                                 ob.y_meas * scale});
                }
            }
        }
        control.push_back(c);
        Rows p;
        for (const auto& ob : img.points) {
            p.push_back({static_cast<long double>(ob.id), ob.x_meas * scale, ob.y_meas * scale});
        }
        points.push_back(p);
    }
    return BuildData(control, points, project.camera.x0 * scale, project.camera.y0 * scale,
                     project.camera.f * scale);
}

BundleData LoadReal(const std::string& dataset, const std::string& variant) {
    const std::string dir = RealDataPath(dataset + "/" + variant);
    const auto camera = ReadNumbers(dir + "/camera.txt");
    EXPECT_EQ(camera.size(), 8u);
    long double cam[8] = {};
    for (std::size_t i = 0; i < 8 && i < camera.size(); ++i) cam[i] = camera[i][0];
    const long double f = cam[0], x0 = cam[1], y0 = cam[2];
    std::vector<Rows> control;
    std::vector<Rows> points;
    for (int i = 1;; ++i) {
        char tag[16];
        std::snprintf(tag, sizeof tag, "%02d", i);
        const std::string ctrl = dir + "/ctrl_" + tag + ".txt";
        if (!std::filesystem::exists(ctrl)) break;
        const auto c = ReadNumbers(ctrl);
        const auto p = ReadNumbers(dir + "/img_" + tag + ".txt");
        Rows cr;
        if (!c.empty()) {
            MatPtr raw = NewMatrix(static_cast<std::uint16_t>(c.size()), 6);
            for (std::size_t r = 0; r < c.size(); ++r)
                for (std::size_t j = 0; j < 6; ++j) raw->SetPrvek(static_cast<int>(r + 1), static_cast<int>(j + 1), c[r][j]);
            MatPtr corrected;
            EXPECT_TRUE(CorrectControlPoints(raw.get(), corrected, x0, y0, f, cam[3], cam[4], cam[5], cam[6], cam[7]));
            for (std::int32_t r = 1; r <= corrected->r; ++r) {
                std::vector<long double> row;
                for (std::int32_t j = 1; j <= 6; ++j) row.push_back(corrected->GetPrvek(r, j));
                cr.push_back(row);
            }
        }
        control.push_back(cr);
        Rows pr;
        if (!p.empty()) {
            MatPtr raw = NewMatrix(static_cast<std::uint16_t>(p.size()), 4);
            for (std::size_t r = 0; r < p.size(); ++r)
                for (std::size_t j = 0; j < 4 && j < p[r].size(); ++j) raw->SetPrvek(static_cast<int>(r + 1), static_cast<int>(j + 1), p[r][j]);
            MatPtr corrected;
            EXPECT_TRUE(CorrectImagePoints(raw.get(), corrected, x0, y0, f, cam[3], cam[4], cam[5], cam[6], cam[7]));
            for (std::int32_t r = 1; r <= corrected->r; ++r) {
                pr.push_back({corrected->GetPrvek(r, 1), corrected->GetPrvek(r, 2), corrected->GetPrvek(r, 3)});
            }
        }
        points.push_back(pr);
    }
    return BuildData(control, points, x0, y0, f);
}

MatPtr OrientationTable(const std::vector<synth::Station>& stations) {
    MatPtr o = NewMatrix(static_cast<std::uint16_t>(stations.size()), 12);
    for (std::size_t i = 0; i < stations.size(); ++i) {
        const auto& st = stations[i];
        const auto R = synth::RotationFromAngles(st.alfa, st.beta, st.gama);
        const auto row = static_cast<std::int32_t>(i + 1);
        for (std::int32_t q = 0; q < 9; ++q) o->SetPrvek(row, q + 1, R[static_cast<std::size_t>(q)]);
        o->SetPrvek(row, 10, st.X0);
        o->SetPrvek(row, 11, st.Y0);
        o->SetPrvek(row, 12, st.Z0);
    }
    return o;
}

ReferenceEo LoadReference(const std::string& dataset) {
    ReferenceEo ref;
    const auto R = ReadNumbers(RealDataPath(dataset + "/ref_R.txt"));
    const auto eo = ReadNumbers(RealDataPath(dataset + "/ref_eo_dbat.txt"));
    EXPECT_EQ(R.size(), eo.size());
    ref.orientation = NewMatrix(static_cast<std::uint16_t>(R.size()), 12);
    for (std::size_t i = 0; i < R.size() && i < eo.size(); ++i) {
        const auto row = static_cast<std::int32_t>(i + 1);
        for (std::int32_t q = 0; q < 9; ++q) ref.orientation->SetPrvek(row, q + 1, R[i][static_cast<std::size_t>(q + 1)]);
        for (std::int32_t q = 0; q < 3; ++q) ref.orientation->SetPrvek(row, 10 + q, eo[i][static_cast<std::size_t>(q + 1)]);
        std::array<long double, 6> s{};
        for (std::size_t q = 0; q < 6; ++q) s[q] = eo[i][7 + q];
        ref.sigma.push_back(s);
    }
    return ref;
}

MatPtr Perturb(const Matice& orientation, long double dp, long double da) {
    MatPtr out = MatCopy(orientation);
    for (std::int32_t i = 1; i <= orientation.r; ++i) {
        const long double s = (i % 2 == 0) ? 1.0L : -1.0L;
        out->SetPrvek(i, 10, orientation.GetPrvek(i, 10) + s * dp);
        out->SetPrvek(i, 11, orientation.GetPrvek(i, 11) - 0.7L * s * dp);
        out->SetPrvek(i, 12, orientation.GetPrvek(i, 12) + 0.4L * dp);
        MatPtr D;
        EXPECT_TRUE(RotationMatrix(D, s * da, -0.8L * da, 0.6L * s * da));
        // R' = R D
        for (std::int32_t r = 0; r < 3; ++r)
            for (std::int32_t c = 0; c < 3; ++c) {
                long double sum = 0.0L;
                for (std::int32_t k = 0; k < 3; ++k)
                    sum += orientation.GetPrvek(i, 3 * r + k + 1) * D->GetPrvek(1, 3 * k + c + 1);
                out->SetPrvek(i, 3 * r + c + 1, sum);
            }
    }
    return out;
}

BundleResult RunBundle(const BundleData& data, const Matice& startPoints, const Matice& startOrientations,
                       bool robust, std::int32_t fixedCount, const BundleOptions& options) {
    BundleResult r;
    r.ok = BundleAdjust(robust, data.control.get(), data.image.get(), data.tieIndex.get(), data.tieCounts.get(),
                        data.controlIndex.get(), data.controlTable.get(), data.controlCounts.get(), &startPoints,
                        &startOrientations, data.x0, data.y0, data.f, fixedCount, options, r.summary, r.unknowns,
                        r.passes, r.m0, r.pointList, r.imageIndex, r.pointIndex, r.weights, r.redundancy);
    return r;
}

BundleResult RunBundleWithF(const BundleData& data, const BundleResult& first, bool robust,
                            std::int32_t fixedCount, long double tolerance, const BundleOptions& options) {
    BundleResult r;
    r.ok = BundleAdjustWithF(robust, data.control.get(), data.image.get(), first.unknowns.get(),
                             data.controlCounts.get(), first.pointList.get(), first.imageIndex.get(),
                             first.pointIndex.get(), data.tieCounts.get(), data.x0, data.y0, data.f, tolerance,
                             fixedCount, first.weights.get(), options, r.summary, r.unknowns, r.passes, r.m0,
                             r.imageIndex, r.weights, r.redundancy);
    return r;
}

namespace {

MatPtr DenseDesign(const BundleRows& rows, MatPtr& l) {
    MatPtr A = NewMatrix(static_cast<std::uint16_t>(rows.n), static_cast<std::uint16_t>(rows.u));
    l = NewMatrix(static_cast<std::uint16_t>(rows.n), 1);
    const std::int32_t w = rows.Width();
    for (std::int32_t h = 0; h < rows.n; ++h) {
        for (std::int32_t q = 0; q < w; ++q) {
            const std::int32_t col = q < 3 ? rows.pointColumn[h] + q : rows.imageColumn[h] + q - 3;
            A->SetPrvek(h + 1, col + 1, rows.a[static_cast<std::size_t>(h * w + q)]);
        }
        l->SetPrvek(h + 1, 1, rows.l[static_cast<std::size_t>(h)]);
    }
    return A;
}

// W null: A^T A without a weight matrix (for the cofactors only).
MatPtr DensePseudoInverse(const BundleRows& rows, const Matice& A, const Matice* W, const Matice& l,
                          MatPtr& rhs) {
    MatPtr At = MatTranspose(A);
    MatPtr AtW = W != nullptr ? MatMul(*At, *W) : std::move(At);
    MatPtr N = MatMul(*AtW, A);
    MatPtr g = MatMul(*AtW, l);
    const std::int32_t size = rows.u + rows.fixed;
    MatPtr K = NewMatrix(static_cast<std::uint16_t>(size), static_cast<std::uint16_t>(size));
    EXPECT_TRUE(CopyBlock(*K, 1, 1, *N, 1, rows.u, 1, rows.u));
    for (std::int32_t r = 1; r <= rows.fixed; ++r) {
        K->SetPrvek(rows.u + r, r, 1.0L);
        K->SetPrvek(r, rows.u + r, 1.0L);
    }
    rhs = NewMatrix(static_cast<std::uint16_t>(size), 1);
    EXPECT_TRUE(CopyBlock(*rhs, 1, 1, *g, 1, rows.u, 1, 1));
    bool flag = false;
    MatPtr S = PseudoInverseTol(*K, flag, 1e-32L);
    if (!flag) return nullptr;
    return S;
}

}  // namespace

bool DensePass(const BundleRows& rows, const std::vector<long double>* weights, bool halve,
               std::vector<long double>& d, std::vector<long double>& v, long double& vtv) {
    MatPtr l;
    MatPtr A = DenseDesign(rows, l);
    MatPtr W = NewMatrix(static_cast<std::uint16_t>(rows.n), static_cast<std::uint16_t>(rows.n));
    for (std::int32_t i = 1; i <= rows.n; ++i) {
        W->SetPrvek(i, i, weights != nullptr ? (*weights)[static_cast<std::size_t>(i - 1)] : 1.0L);
    }
    MatPtr r;
    MatPtr S = DensePseudoInverse(rows, *A, W.get(), *l, r);
    if (!S) return false;
    MatPtr z = MatScale(*MatMul(*S, *r), -1.0L);
    if (halve) z = MatScale(*z, 0.5L);
    MatPtr dm = NewMatrix(static_cast<std::uint16_t>(rows.u), 1);
    d.assign(static_cast<std::size_t>(rows.u), 0.0L);
    for (std::int32_t i = 1; i <= rows.u; ++i) {
        dm->SetPrvek(i, 1, z->GetPrvek(i, 1));
        d[static_cast<std::size_t>(i - 1)] = z->GetPrvek(i, 1);
    }
    MatPtr vm = MatAdd(*MatMul(*A, *dm), *l);
    v.assign(static_cast<std::size_t>(rows.n), 0.0L);
    for (std::int32_t i = 1; i <= rows.n; ++i) v[static_cast<std::size_t>(i - 1)] = vm->GetPrvek(i, 1);
    vtv = MatMul(*MatTranspose(*vm), *vm)->GetPrvek(1, 1);
    return true;
}

MatPtr ConstrainedCofactors(const BundleRows& rows) {
    MatPtr l;
    MatPtr A = DenseDesign(rows, l);
    MatPtr r;
    MatPtr S = DensePseudoInverse(rows, *A, nullptr, *l, r);
    if (!S) return nullptr;
    MatPtr Q = NewMatrix(static_cast<std::uint16_t>(rows.u), static_cast<std::uint16_t>(rows.u));
    EXPECT_TRUE(CopyBlock(*Q, 1, 1, *S, 1, rows.u, 1, rows.u));
    return Q;
}

std::array<long double, 9> RotationOf(const Matice& unknowns, std::int32_t first) {
    MatPtr R;
    EXPECT_TRUE(RotationMatrix(R, unknowns.GetPrvek(first + 3, 1), unknowns.GetPrvek(first + 4, 1),
                               unknowns.GetPrvek(first + 5, 1)));
    std::array<long double, 9> out{};
    for (std::size_t q = 0; q < 9; ++q) out[q] = R->GetPrvek(1, static_cast<std::int32_t>(q + 1));
    return out;
}

}  // namespace pelvanor::test
