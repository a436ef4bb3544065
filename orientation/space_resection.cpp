#include "orientation/space_resection.h"

#include <cmath>
#include <cstdint>

#include "matrix/arithmetic.h"
#include "matrix/fp_guard.h"
#include "matrix/least_squares.h"
#include "orientation/collinearity.h"
#include "orientation/resection_loop.h"

namespace pelvanor {

namespace {

constexpr long double kPi = 3.141592653589793238462643383279502884L;

// The six point pairs, in the order of the equations.
constexpr int kPairs[6][2] = {{0, 1}, {1, 2}, {2, 0}, {0, 3}, {1, 3}, {2, 3}};

// Relative change of the unit standard deviation in percent.  A fit that
// became exact (m0 = 0) cannot improve any further: it counts as no change
// instead of dividing by zero.
long double RelativeChange(long double previous, long double m0) {
    if (m0 == 0.0L) return 0.0L;
    return std::fabs((previous - m0) / m0) * 100.0L;
}

// One Gauss-Newton pass: correction = SolveNormal(A, -L), m0 of the residuals
// A correction - L.
bool Step(const Matice& A, const Matice& L, MatPtr& correction, long double& m0) {
    MatPtr minusL = MatScale(L, -1.0L);
    MatPtr Q;
    if (!SolveNormal(A, *minusL, correction, &Q)) return false;
    MatPtr v, vtv, vtvCheck, mx;
    return ResidualsAndAccuracy(A, L, *correction, v, vtv, vtvCheck, m0, mx, Q.get());
}

// The four points of one image: object coordinates P_k, image vectors v_k
// with the principal point of the collinearity model and +f as third
// component, and their lengths n_k.
struct Rays {
    long double P[4][3];
    long double v[4][3];
    long double n[4];
};

Rays RaysOf(const Matice& points, long double f, long double x0, long double y0) {
    Rays r;
    for (int k = 0; k < 4; ++k) {
        for (int j = 0; j < 3; ++j) r.P[k][j] = points.GetPrvek(k + 1, j + 2);
        r.v[k][0] = points.GetPrvek(k + 1, 5) - x0;
        r.v[k][1] = points.GetPrvek(k + 1, 6) + y0;
        r.v[k][2] = f;
        r.n[k] = std::sqrt(r.v[k][0] * r.v[k][0] + r.v[k][1] * r.v[k][1] + r.v[k][2] * r.v[k][2]);
    }
    return r;
}

// Stage 1: distances s_k from the centre to the points, law of cosines
// d_ij^2 = s_i^2 + s_j^2 - 2 s_i s_j cos(gamma_ij), from the ray angles and
// object distances of the six pairs.
bool DistancesToPoints(const Rays& r, long double tolerance, long double (&s)[4], std::int32_t& passes) {
    const auto& P = r.P;
    const auto& v = r.v;
    const auto& n = r.n;
    long double cosine[6], distance[6];
    for (int p = 0; p < 6; ++p) {
        const int i = kPairs[p][0], j = kPairs[p][1];
        const long double c =
            (v[i][0] * v[j][0] + v[i][1] * v[j][1] + v[i][2] * v[j][2]) / (n[i] * n[j]);
        // arccos(c) = atan2(sqrt((1 + c)(1 - c)), c): a rounding beyond
        // +-1 is an invalid operation, as for any arccos.
        const long double gamma = std::atan2(std::sqrt((1.0L + c) * (1.0L - c)), c);
        cosine[p] = std::cos(gamma);
        const long double dX = P[i][0] - P[j][0], dY = P[i][1] - P[j][1],
                          dZ = P[i][2] - P[j][2];
        distance[p] = std::sqrt(dX * dX + dY * dY + dZ * dZ);
    }

    for (long double& sk : s) sk = 0.1L;
    long double m0Previous = 0.0L, change = 100.0L;
    for (int pass = 0; tolerance < change && pass < kSpaceResectionMaxPasses; ++pass) {
        MatPtr K = NewMatrix(6, 4);
        MatPtr L = NewMatrix(6, 1);
        for (int p = 0; p < 6; ++p) {
            const int i = kPairs[p][0], j = kPairs[p][1];
            const long double c = cosine[p];
            K->SetPrvek(p + 1, i + 1, 2.0L * s[i] - c * 2.0L * s[j]);
            K->SetPrvek(p + 1, j + 1, 2.0L * s[j] - c * 2.0L * s[i]);
            L->SetPrvek(p + 1, 1,
                        s[i] * s[i] + s[j] * s[j] - c * 2.0L * s[i] * s[j] -
                            distance[p] * distance[p]);
        }
        MatPtr ds;
        long double m0 = 0.0L;
        if (!Step(*K, *L, ds, m0)) return false;
        for (int k = 0; k < 4; ++k) s[k] += ds->GetPrvek(k + 1, 1);
        change = RelativeChange(m0Previous, m0);
        m0Previous = m0;
        ++passes;
    }
    return true;
}

// Stage 2: the centre C from the four spheres |C - P_k| = s_k, started at
// the mean of P_k + p_k (the +f side of the points).
bool CentreFromSpheres(const Rays& r, const long double (&s)[4], long double tolerance, long double (&C)[3],
                       std::int32_t& passes) {
    const auto& P = r.P;
    for (long double& cj : C) cj = 0.0L;
    for (int k = 0; k < 4; ++k) {
        MatPtr vk = NewMatrix(1, 3);
        for (int j = 0; j < 3; ++j) vk->SetPrvek(1, j + 1, r.v[k][j]);
        MatPtr pk;
        if (!ScaleToLength(*vk, pk, s[k])) return false;
        for (int j = 0; j < 3; ++j) C[j] += P[k][j] + pk->GetPrvek(1, j + 1);
    }
    for (int j = 0; j < 3; ++j) C[j] /= 4.0L;

    long double m0Previous = 0.0L, change = 100.0L;
    for (int pass = 0; tolerance < change && pass < kSpaceResectionMaxPasses; ++pass) {
        MatPtr B = NewMatrix(4, 3);
        MatPtr S = NewMatrix(4, 1);
        for (int k = 0; k < 4; ++k) {
            long double sum = 0.0L;
            for (int j = 0; j < 3; ++j) {
                B->SetPrvek(k + 1, j + 1, 2.0L * C[j] - 2.0L * P[k][j]);
                sum += (C[j] - P[k][j]) * (C[j] - P[k][j]);
            }
            S->SetPrvek(k + 1, 1, sum - s[k] * s[k]);
        }
        MatPtr dC;
        long double m0 = 0.0L;
        if (!Step(*B, *S, dC, m0)) return false;
        for (int j = 0; j < 3; ++j) C[j] += dC->GetPrvek(j + 1, 1);
        change = RelativeChange(m0Previous, m0);
        m0Previous = m0;
        ++passes;
    }
    return true;
}

// Stage 3: M maps P_k - C to s_k u_k, u_k the unit ray with its second and
// third components reversed; R is read from M orthonormalised.
bool RotationFromRays(const Rays& r, const long double (&s)[4], const long double (&C)[3], MatPtr& R) {
    const auto& P = r.P;
    const auto& v = r.v;
    const auto& n = r.n;
    MatPtr N = NewMatrix(12, 9);
    MatPtr T = NewMatrix(12, 1);
    for (int k = 0; k < 4; ++k) {
        MatPtr uk = NewMatrix(1, 3);
        uk->SetPrvek(1, 1, v[k][0] / n[k]);
        uk->SetPrvek(1, 2, -v[k][1] / n[k]);
        uk->SetPrvek(1, 3, -v[k][2] / n[k]);
        MatPtr qk;
        if (!ScaleToLength(*uk, qk, -s[k])) return false;
        for (int j = 0; j < 3; ++j) {
            const int row = 3 * k + j + 1;
            for (int c = 0; c < 3; ++c) N->SetPrvek(row, 3 * j + c + 1, P[k][c] - C[c]);
            T->SetPrvek(row, 1, qk->GetPrvek(1, j + 1));
        }
    }
    MatPtr minusT = MatScale(*T, -1.0L);
    MatPtr m;
    if (!SolveNormal(*N, *minusT, m)) return false;
    long double a[3], b[3], c[3];
    for (int j = 0; j < 3; ++j) {
        a[j] = m->GetPrvek(j + 1, 1);
        b[j] = m->GetPrvek(j + 4, 1);
    }
    // Gram-Schmidt on the first two rows, the third their cross product.
    const long double na = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
    for (long double& x : a) x /= na;
    const long double ab = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    for (int j = 0; j < 3; ++j) b[j] -= ab * a[j];
    const long double nb = std::sqrt(b[0] * b[0] + b[1] * b[1] + b[2] * b[2]);
    for (long double& x : b) x /= nb;
    c[0] = a[1] * b[2] - a[2] * b[1];
    c[1] = a[2] * b[0] - a[0] * b[2];
    c[2] = a[0] * b[1] - a[1] * b[0];

    // Approximate angles read from the orthonormalised M (rows a, b, c).
    const long double beta = std::atan2(-a[2], c[2]);
    const long double gama = std::atan2(-b[0], b[1]);
    const long double alfa = std::atan2(-b[2], c[2] / std::cos(beta)) - kPi;
    return RotationMatrix(R, alfa, beta, gama);
}

// The body of SpaceResectionImage.
bool ResectionBody(const Matice& points, MatPtr& orientation, long double tolerance, long double f,
                   long double x0, long double y0, SpaceResectionPasses* passes) {
    orientation = NewMatrix(1, 16);
    if (points.r < 4 || points.s < 6) return false;
    const Rays rays = RaysOf(points, f, x0, y0);
    SpaceResectionPasses used;
    long double s[4];
    long double C[3];
    if (!DistancesToPoints(rays, tolerance, s, used.distances)) return false;
    if (!CentreFromSpheres(rays, s, tolerance, C, used.centre)) return false;
    if (passes) *passes = used;
    MatPtr R;
    if (!RotationFromRays(rays, s, C, R)) return false;

    Matice& o = *orientation;
    for (int j = 1; j <= 9; ++j) o.SetPrvek(1, j, R->GetPrvek(1, j));
    for (int j = 0; j < 3; ++j) o.SetPrvek(1, 10 + j, C[j]);
    return true;
}

}  // namespace

bool SpaceResectionImage(const Matice& points, MatPtr& orientation, long double tolerance,
                         long double f, long double x0, long double y0,
                         SpaceResectionPasses* passes) {
    return GuardedComputation(
        [&] { return ResectionBody(points, orientation, tolerance, f, x0, y0, passes); });
}

bool SpaceResection(const Matice* selected, const Matice* rowCounts, MatPtr& orientations,
                    long double tolerance, long double f, long double x0, long double y0) {
    return GuardedComputation([&] {
        if (!selected || !rowCounts) return false;
        return detail::ResectEveryImage(*selected, *rowCounts, orientations, [&](Matice& points, MatPtr& row) {
            return SpaceResectionImage(points, row, tolerance, f, x0, y0);
        });
    });
}

}  // namespace pelvanor
