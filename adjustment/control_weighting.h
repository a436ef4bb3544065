#pragma once
// Surveyed control with its accuracy.
//
// The datum of the bundle adjustment is held by the first b control points
// of its point list, whose corrections are constrained to zero.  A control
// point beyond them may instead enter as an observed unknown: its surveyed
// X, Y, Z are observations of its own unknowns,
//
//     X_surveyed + v = X,   weight p = (sigma_image / sigma_control)^2,
//
// one row of the identity per weighted coordinate.  With the image rows
// weighted 1 the unit of weight is an image coordinate of standard
// deviation sigma_image, so m0 stays in image units and m0 / sigma_image is
// the a-posteriori unit standard deviation relative to the a priori one.
// With no point fixed the weighted control alone carries the datum.
//
// A check point is a control point that neither holds nor carries the
// datum: it is adjusted like a tie point (its surveyed coordinates are only
// start values) and judged afterwards against its survey.

#include <cstdint>
#include <map>
#include <vector>

#include "adjustment/bundle_normal_equations.h"
#include "matrix/matice.h"

namespace pelvanor {

// The accuracy of one control point.
struct ControlPointAccuracy {
    // Standard deviations of X, Y, Z in metres; 0: that coordinate carries
    // no weight.
    long double sigma[3] = {0.0L, 0.0L, 0.0L};
    bool check = false;  // a check point: the sigmas do not apply
};

// How the control of an adjustment is weighted: the settings and the lines
// of the control accuracy file, which override the settings point by point.
struct ControlWeighting {
    long double imageSigma = 1.0L;  // a priori sigma of an image coordinate, image units
    long double sigmaXY = 0.0L;     // metres, every control point without a line of its own
    long double sigmaZ = 0.0L;
    std::map<std::int64_t, ControlPointAccuracy> points;  // by point number

    // Whether anything differs from control points that are fixed or free:
    // a sigma above 0 in the settings, or any line of the file.
    bool Active() const;
    ControlPointAccuracy Of(std::int64_t number) const;
    // A control point that is no check point and has a sigma above 0.
    bool Weighted(std::int64_t number) const;
    bool IsCheck(std::int64_t number) const;
};

// The weight (sigma_image / sigma)^2 of a coordinate with standard
// deviation `sigma` (metres); 0 for a sigma of 0.
long double ControlWeight(long double imageSigma, long double sigma);

// A weighted control point of an adjustment's point list.
struct ControlPrior {
    std::int32_t point = 0;  // 0-based position in the point list; unknowns 3 point .. 3 point + 2
    long double number = 0.0L;
    long double surveyed[3] = {0.0L, 0.0L, 0.0L};  // metres, from the control table
    long double sigma[3] = {0.0L, 0.0L, 0.0L};     // metres, 0: no weight
    std::int32_t observations = 0;  // coordinates with a sigma above 0
};

// Rows 1 .. return value of the point list are control points that may
// hold the datum: control rows (negated image numbers) measured on two or
// more images that are not check points.  The adjustment fixes the first
// min(fixedCount, that number) of them.  Without an active weighting the
// count is that of the control rows leading the list.
std::int32_t DatumCandidateCount(const Matice& pointList, const ControlWeighting* weighting);

// The number b of fixed points of an adjustment on `pointList`.
std::int32_t FixedPointsOfList(const Matice& pointList, std::int32_t fixedCount,
                               const ControlWeighting* weighting);

// The weighted control points of the point list beyond its first `fixed`
// points, in list order, each with the surveyed coordinates of the control
// table row of its first measurement.  Empty without an active weighting.
// False when a control row of the list points outside the control table.
bool ControlPriorsOfList(const Matice& pointList, const Matice& controlTable, std::int32_t fixed,
                         const ControlWeighting* weighting, std::vector<ControlPrior>& priors);

// The priors as rows of a pass: each point's columns and the weights
// (sigma_image / sigma)^2 of its surveyed coordinates, appended to
// rows.priors in the order of `priors`.
void AddControlPriorRows(const std::vector<ControlPrior>& priors, long double imageSigma, BundleRows& rows);

// The priors' misclosures at the unknowns X of a pass: current minus
// surveyed, for the rows AddControlPriorRows made.
void UpdateControlPriorMisclosures(const std::vector<ControlPrior>& priors, const std::vector<long double>& X,
                                   BundleRows& rows);

}  // namespace pelvanor
