#include "adjustment/station_precision.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "matrix/arithmetic.h"
#include "matrix/fp_guard.h"
#include "orientation/collinearity.h"

namespace pelvanor {

namespace {

// In-place Cholesky factor (lower triangle) of the symmetric n x n matrix
// `a` (row-major); false when a pivot is not positive.
bool Cholesky(std::vector<long double>& a, std::int32_t n) {
    for (std::int32_t k = 0; k < n; ++k) {
        long double pivot = a[static_cast<std::size_t>(k) * n + k];
        for (std::int32_t q = 0; q < k; ++q) {
            const long double l = a[static_cast<std::size_t>(k) * n + q];
            pivot -= l * l;
        }
        if (!(pivot > 0.0L)) return false;
        const long double lkk = std::sqrt(pivot);
        a[static_cast<std::size_t>(k) * n + k] = lkk;
        for (std::int32_t i = k + 1; i < n; ++i) {
            long double sum = a[static_cast<std::size_t>(i) * n + k];
            for (std::int32_t q = 0; q < k; ++q)
                sum -= a[static_cast<std::size_t>(i) * n + q] * a[static_cast<std::size_t>(k) * n + q];
            a[static_cast<std::size_t>(i) * n + k] = sum / lkk;
        }
    }
    return true;
}

// Solves L L^T x = b in place with the factor of Cholesky.
void CholeskySolve(const std::vector<long double>& l, std::int32_t n, long double* b) {
    for (std::int32_t i = 0; i < n; ++i) {
        long double sum = b[i];
        for (std::int32_t q = 0; q < i; ++q) sum -= l[static_cast<std::size_t>(i) * n + q] * b[q];
        b[i] = sum / l[static_cast<std::size_t>(i) * n + i];
    }
    for (std::int32_t i = n - 1; i >= 0; --i) {
        long double sum = b[i];
        for (std::int32_t q = i + 1; q < n; ++q) sum -= l[static_cast<std::size_t>(q) * n + i] * b[q];
        b[i] = sum / l[static_cast<std::size_t>(i) * n + i];
    }
}

struct Measurement {
    std::int32_t point = 0;  // 0-based position in the point list
    std::int32_t image = 0;  // 0-based
    long double x = 0.0L;
    long double y = 0.0L;
};

}  // namespace

bool StationStandardDeviations(const Matice* controlTable, const Matice* imageTable, const Matice* pointList,
                               const Matice* imageIndex, const Matice* unknowns, bool withCameraConstant,
                               long double x0, long double y0, long double f, std::int32_t fixedCount,
                               long double m0, MatPtr& sigmas) {
    return GuardedComputation([&] {
        if (controlTable == nullptr || imageTable == nullptr || pointList == nullptr || imageIndex == nullptr ||
            unknowns == nullptr || unknowns->s < 1 || controlTable->s < 6 || imageTable->s < 3)
            return false;
        const std::int32_t width = withCameraConstant ? 7 : 6;
        const std::int32_t m = imageIndex->r;
        const std::int32_t p = pointList->r;
        if (m < 1 || p < 1 || unknowns->r < 3 * p + width * m) return false;

        // The measurements, as the adjustment collected them; the control
        // points lead the list, the first b of them hold the datum.
        std::vector<Measurement> meas;
        std::int32_t controlPoints = 0;
        for (std::int32_t i = 1; i <= p; ++i) {
            bool control = false;
            for (std::int32_t col = 2; col + 1 <= pointList->s; col += 2) {
                const std::int64_t g = RoundId(pointList->GetPrvek(i, col + 1));
                if (g == 0) continue;
                const std::int64_t row = RoundId(pointList->GetPrvek(i, col));
                const Matice& table = g < 0 ? *controlTable : *imageTable;
                const std::int64_t image = g < 0 ? -g : g;
                if (image > m || row < 1 || row > table.r) return false;
                control = control || g < 0;
                Measurement mm;
                mm.point = i - 1;
                mm.image = static_cast<std::int32_t>(image - 1);
                mm.x = table.GetPrvek(static_cast<std::int32_t>(row), g < 0 ? 5 : 2);
                mm.y = table.GetPrvek(static_cast<std::int32_t>(row), g < 0 ? 6 : 3);
                meas.push_back(mm);
            }
            if (control) ++controlPoints;
        }
        const std::int32_t b = std::clamp(fixedCount, 0, controlPoints);

        // Image j's unknowns start at row imageIndex(j, 1) of the vector.
        std::vector<std::int32_t> imageRow(static_cast<std::size_t>(m));
        std::vector<std::array<long double, 9>> R(static_cast<std::size_t>(m));
        for (std::int32_t j = 0; j < m; ++j) {
            const std::int64_t first = RoundId(imageIndex->GetPrvek(j + 1, 1));
            if (first < 3LL * p + 1 || first + width - 1 > unknowns->r) return false;
            imageRow[static_cast<std::size_t>(j)] = static_cast<std::int32_t>(first);
            MatPtr rot;
            const auto at = [&](std::int32_t q) { return unknowns->GetPrvek(static_cast<std::int32_t>(first) + q, 1); };
            if (!RotationMatrix(rot, at(3), at(4), at(5)) || !rot || rot->s < 9) return false;
            for (std::int32_t q = 0; q < 9; ++q) R[static_cast<std::size_t>(j)][static_cast<std::size_t>(q)] = rot->GetPrvek(1, q + 1);
        }

        // Normal equations of the free unknowns, by blocks.
        const std::int32_t order = width * m;
        std::vector<long double> V(static_cast<std::size_t>(order) * order, 0.0L);
        std::vector<std::array<long double, 9>> P(static_cast<std::size_t>(p));
        for (auto& block : P) block.fill(0.0L);
        // W blocks of every free point, 3 x width per image it is seen on.
        std::vector<std::vector<std::pair<std::int32_t, std::vector<long double>>>> Wb(static_cast<std::size_t>(p));
        Matice row(1, 5);
        for (const Measurement& mm : meas) {
            const std::int32_t pc = 3 * mm.point + 1;
            const std::int32_t ic = imageRow[static_cast<std::size_t>(mm.image)];
            const auto& r = R[static_cast<std::size_t>(mm.image)];
            for (std::int32_t q = 0; q < 3; ++q) row.SetPrvek(1, q + 1, unknowns->GetPrvek(pc + q, 1));
            row.SetPrvek(1, 4, mm.x);
            row.SetPrvek(1, 5, mm.y);
            MatPtr B, misclosure;
            const long double X0 = unknowns->GetPrvek(ic, 1);
            const long double Y0 = unknowns->GetPrvek(ic + 1, 1);
            const long double Z0 = unknowns->GetPrvek(ic + 2, 1);
            const bool ok = withCameraConstant
                                ? CollinearityRows10(row, B, misclosure, r[0], r[1], r[2], r[3], r[4], r[5], r[6],
                                                     r[7], r[8], X0, Y0, Z0, x0, y0, unknowns->GetPrvek(ic + 6, 1))
                                : CollinearityRows9(row, B, misclosure, r[0], r[1], r[2], r[3], r[4], r[5], r[6],
                                                    r[7], r[8], X0, Y0, Z0, x0, y0, f);
            if (!ok || !B || B->r != 2 || B->s != 3 + width) return false;
            const std::int32_t base = width * mm.image;
            for (std::int32_t e = 1; e <= 2; ++e) {
                for (std::int32_t a = 0; a < width; ++a)
                    for (std::int32_t c = 0; c < width; ++c)
                        V[static_cast<std::size_t>(base + a) * order + base + c] +=
                            B->GetPrvek(e, 4 + a) * B->GetPrvek(e, 4 + c);
            }
            if (mm.point < b) continue;  // a datum point's coordinates are not unknowns
            auto& Pi = P[static_cast<std::size_t>(mm.point)];
            std::vector<long double>* Wij = nullptr;
            for (auto& [image, block] : Wb[static_cast<std::size_t>(mm.point)])
                if (image == mm.image) Wij = &block;
            if (Wij == nullptr) {
                Wb[static_cast<std::size_t>(mm.point)].emplace_back(mm.image,
                                                                    std::vector<long double>(3 * width, 0.0L));
                Wij = &Wb[static_cast<std::size_t>(mm.point)].back().second;
            }
            for (std::int32_t e = 1; e <= 2; ++e) {
                for (std::int32_t a = 0; a < 3; ++a) {
                    for (std::int32_t c = 0; c < 3; ++c)
                        Pi[static_cast<std::size_t>(3 * a + c)] += B->GetPrvek(e, 1 + a) * B->GetPrvek(e, 1 + c);
                    for (std::int32_t c = 0; c < width; ++c)
                        (*Wij)[static_cast<std::size_t>(width * a + c)] += B->GetPrvek(e, 1 + a) * B->GetPrvek(e, 4 + c);
                }
            }
        }

        // Reduced image system V - W^T P^-1 W.
        for (std::int32_t i = b; i < p; ++i) {
            const auto& blocks = Wb[static_cast<std::size_t>(i)];
            if (blocks.empty()) continue;
            std::vector<long double> Pi(P[static_cast<std::size_t>(i)].begin(), P[static_cast<std::size_t>(i)].end());
            if (!Cholesky(Pi, 3)) return false;
            // P^-1 W for every image block of the point.
            std::vector<std::vector<long double>> solved;
            for (const auto& [image, block] : blocks) {
                std::vector<long double> s(static_cast<std::size_t>(3 * width));
                for (std::int32_t c = 0; c < width; ++c) {
                    long double column[3] = {block[static_cast<std::size_t>(c)],
                                             block[static_cast<std::size_t>(width + c)],
                                             block[static_cast<std::size_t>(2 * width + c)]};
                    CholeskySolve(Pi, 3, column);
                    for (std::int32_t a = 0; a < 3; ++a) s[static_cast<std::size_t>(width * a + c)] = column[a];
                }
                solved.push_back(std::move(s));
            }
            for (std::size_t j = 0; j < blocks.size(); ++j) {
                const std::int32_t rowBase = width * blocks[j].first;
                for (std::size_t k = 0; k < blocks.size(); ++k) {
                    const std::int32_t colBase = width * blocks[k].first;
                    for (std::int32_t a = 0; a < width; ++a)
                        for (std::int32_t c = 0; c < width; ++c) {
                            long double sum = 0.0L;
                            for (std::int32_t q = 0; q < 3; ++q)
                                sum += blocks[j].second[static_cast<std::size_t>(width * q + a)] *
                                       solved[k][static_cast<std::size_t>(width * q + c)];
                            V[static_cast<std::size_t>(rowBase + a) * order + colBase + c] -= sum;
                        }
                }
            }
        }

        // The diagonal of its inverse: column by column.
        if (!Cholesky(V, order)) return false;
        sigmas = NewMatrix(static_cast<std::uint16_t>(m), static_cast<std::uint16_t>(width));
        std::vector<long double> unit(static_cast<std::size_t>(order));
        for (std::int32_t k = 0; k < order; ++k) {
            std::fill(unit.begin(), unit.end(), 0.0L);
            unit[static_cast<std::size_t>(k)] = 1.0L;
            CholeskySolve(V, order, unit.data());
            const long double q = unit[static_cast<std::size_t>(k)];
            if (!(q >= 0.0L)) return false;
            sigmas->SetPrvek(k / width + 1, k % width + 1, m0 * std::sqrt(q));
        }
        return true;
    });
}

}  // namespace pelvanor
