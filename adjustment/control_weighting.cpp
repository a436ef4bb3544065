#include "adjustment/control_weighting.h"

#include <algorithm>

#include "matrix/arithmetic.h"

namespace pelvanor {

namespace {

// Whether row k of the point list is a control point (a negated image
// number among its pairs), and the row of its first control measurement.
bool ControlRowOf(const Matice& list, std::int32_t k, std::int64_t& row) {
    for (std::int32_t col = 2; col + 1 <= list.s; col += 2) {
        if (RoundId(list.GetPrvek(k, col + 1)) < 0) {
            row = RoundId(list.GetPrvek(k, col));
            return true;
        }
    }
    return false;
}

std::int32_t Measurements(const Matice& list, std::int32_t k) {
    std::int32_t count = 0;
    for (std::int32_t col = 3; col <= list.s; col += 2)
        if (RoundId(list.GetPrvek(k, col)) != 0) ++count;
    return count;
}

}  // namespace

bool ControlWeighting::Active() const { return sigmaXY > 0.0L || sigmaZ > 0.0L || !points.empty(); }

ControlPointAccuracy ControlWeighting::Of(std::int64_t number) const {
    const auto found = points.find(number);
    if (found != points.end()) return found->second;
    ControlPointAccuracy a;
    a.sigma[0] = a.sigma[1] = sigmaXY;
    a.sigma[2] = sigmaZ;
    return a;
}

bool ControlWeighting::Weighted(std::int64_t number) const {
    const ControlPointAccuracy a = Of(number);
    return !a.check && (a.sigma[0] > 0.0L || a.sigma[1] > 0.0L || a.sigma[2] > 0.0L);
}

bool ControlWeighting::IsCheck(std::int64_t number) const { return Of(number).check; }

long double ControlWeight(long double imageSigma, long double sigma) {
    if (!(sigma > 0.0L)) return 0.0L;
    const long double ratio = imageSigma / sigma;
    return ratio * ratio;
}

std::int32_t DatumCandidateCount(const Matice& pointList, const ControlWeighting* weighting) {
    const bool active = weighting != nullptr && weighting->Active();
    std::int32_t count = 0;
    for (std::int32_t k = 1; k <= pointList.r; ++k) {
        std::int64_t row = 0;
        if (!ControlRowOf(pointList, k, row)) break;
        if (active && (Measurements(pointList, k) < 2 ||
                       weighting->IsCheck(RoundId(pointList.GetPrvek(k, 1))))) {
            break;
        }
        ++count;
    }
    return count;
}

std::int32_t FixedPointsOfList(const Matice& pointList, std::int32_t fixedCount,
                               const ControlWeighting* weighting) {
    return std::clamp(fixedCount, 0, DatumCandidateCount(pointList, weighting));
}

bool ControlPriorsOfList(const Matice& pointList, const Matice& controlTable, std::int32_t fixed,
                         const ControlWeighting* weighting, std::vector<ControlPrior>& priors) {
    priors.clear();
    if (weighting == nullptr || !weighting->Active()) return true;
    for (std::int32_t k = fixed + 1; k <= pointList.r; ++k) {
        std::int64_t row = 0;
        if (!ControlRowOf(pointList, k, row)) continue;
        const std::int64_t number = RoundId(pointList.GetPrvek(k, 1));
        if (!weighting->Weighted(number)) continue;
        if (row < 1 || row > controlTable.r || controlTable.s < 4) return false;
        const ControlPointAccuracy a = weighting->Of(number);
        ControlPrior prior;
        prior.point = k - 1;
        prior.number = pointList.GetPrvek(k, 1);
        for (int q = 0; q < 3; ++q) {
            prior.surveyed[q] = controlTable.GetPrvek(static_cast<std::int32_t>(row), 2 + q);
            prior.sigma[q] = a.sigma[q] > 0.0L ? a.sigma[q] : 0.0L;
            if (prior.sigma[q] > 0.0L) ++prior.observations;
        }
        priors.push_back(prior);
    }
    return true;
}

void AddControlPriorRows(const std::vector<ControlPrior>& priors, long double imageSigma, BundleRows& rows) {
    for (const ControlPrior& prior : priors) {
        BundleRows::PointPrior row;
        row.column = 3 * prior.point;
        for (std::int32_t q = 0; q < 3; ++q) row.weight[q] = ControlWeight(imageSigma, prior.sigma[q]);
        rows.priors.push_back(row);
    }
}

void UpdateControlPriorMisclosures(const std::vector<ControlPrior>& priors, const std::vector<long double>& X,
                                   BundleRows& rows) {
    for (std::size_t k = 0; k < rows.priors.size() && k < priors.size(); ++k) {
        for (std::int32_t q = 0; q < 3; ++q) {
            rows.priors[k].l[q] = X[static_cast<std::size_t>(rows.priors[k].column + q)] - priors[k].surveyed[q];
        }
    }
}

}  // namespace pelvanor
