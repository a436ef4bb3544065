// The observation equations of the self-calibration: every design-row entry
// against a central difference of the misclosure, and the misclosure itself
// against the generator's independent camera model.

#include "adjustment/camera_calibration.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "tools/synth/synth.h"

namespace pelvanor {
namespace {

struct Unknowns {
    long double X = 3.0L, Y = 2.0L, Z = 1.0L;
    std::array<long double, 6> image = {1.0L, -1.0L, 16.0L, 0.05L, -0.08L, 0.3L};
    CameraParameters camera{18.1L, 11.9L, 24.0L, 5.0e-5L, -8.0e-8L, 4.0e-11L, 1.2e-5L, -8.0e-6L};
};

// The value of unknown j (0..8 point and image, 9.. the camera in file order).
long double& Entry(Unknowns& u, int j) {
    if (j == 0) return u.X;
    if (j == 1) return u.Y;
    if (j == 2) return u.Z;
    if (j < 9) return u.image[static_cast<std::size_t>(j - 3)];
    switch (j - 9) {
        case kParamF: return u.camera.f;
        case kParamX0: return u.camera.x0;
        case kParamY0: return u.camera.y0;
        case kParamK1: return u.camera.k1;
        case kParamK2: return u.camera.k2;
        case kParamK3: return u.camera.k3;
        case kParamP1: return u.camera.p1;
        default: return u.camera.p2;
    }
}

TEST(CameraCalibration, DesignRowsAreCentralDifferencesOfTheMisclosure) {
    const CameraParameterFlags all = {true, true, true, true, true, true, true, true};
    // Raw measurements across the frame: the corners and the middle of a
    // 36 x 24 mm frame, where every distortion term has its weight.
    for (const auto& [x, y] : std::vector<std::pair<long double, long double>>{{2.0L, 1.5L}, {34.0L, 3.0L}, {18.0L, 12.0L}, {30.0L, 22.0L}}) {
        Unknowns u;
        std::vector<long double> rowX, rowY;
        long double lx = 0.0L, ly = 0.0L;
        ASSERT_TRUE(CalibrationObservationRows(u.X, u.Y, u.Z, x, y, u.image, u.camera, all, rowX, rowY, lx, ly));
        ASSERT_EQ(rowX.size(), 17u);
        for (int j = 0; j < 17; ++j) {
            const long double h = 1e-6L * std::max(1.0L, std::fabs(Entry(u, j)));
            long double plus[2], minus[2];
            for (int side = 0; side < 2; ++side) {
                Unknowns v = u;
                Entry(v, j) += side == 0 ? h : -h;
                std::vector<long double> rx, ry;
                long double* out = side == 0 ? plus : minus;
                ASSERT_TRUE(CalibrationObservationRows(v.X, v.Y, v.Z, x, y, v.image, v.camera, all, rx, ry, out[0], out[1]));
            }
            const long double dx = (plus[0] - minus[0]) / (2.0L * h);
            const long double dy = (plus[1] - minus[1]) / (2.0L * h);
            // Entries range from 1e-2 (angles, metres) to 1e7 (k3 r^7);
            // a central difference is good to about 1e-9 of its size here.
            EXPECT_NEAR(static_cast<double>(rowX[static_cast<std::size_t>(j)]), static_cast<double>(dx),
                        1e-7 * std::max(1.0, std::fabs(static_cast<double>(dx))))
                << "column " << j << " at (" << static_cast<double>(x) << ", " << static_cast<double>(y) << ")";
            EXPECT_NEAR(static_cast<double>(rowY[static_cast<std::size_t>(j)]), static_cast<double>(dy),
                        1e-7 * std::max(1.0, std::fabs(static_cast<double>(dy))))
                << "column " << j;
        }
    }
}

TEST(CameraCalibration, MisclosureIsProjectionMinusCorrectedMeasurement) {
    // A point projected and distorted by the generator's own model: the
    // misclosure vanishes; the rows of fixed parameters are left out.
    Unknowns u;
    synth::Station st{u.image[0], u.image[1], u.image[2], u.image[3], u.image[4], u.image[5], u.camera.f};
    synth::Camera cam{u.camera.f, u.camera.x0, u.camera.y0, u.camera.k1, u.camera.k2, u.camera.k3, u.camera.p1,
                      u.camera.p2};
    long double xc = 0.0L, yc = 0.0L, x = 0.0L, y = 0.0L;
    ASSERT_TRUE(synth::ProjectPoint(st, cam, u.X, u.Y, u.Z, xc, yc));
    ASSERT_TRUE(synth::RawFromCorrected(cam, xc, yc, x, y));
    CameraParameterFlags some = {true, false, false, true, false, false, false, true};
    std::vector<long double> rowX, rowY;
    long double lx = 1.0L, ly = 1.0L;
    ASSERT_TRUE(CalibrationObservationRows(u.X, u.Y, u.Z, x, y, u.image, u.camera, some, rowX, rowY, lx, ly));
    EXPECT_EQ(rowX.size(), 12u);
    EXPECT_NEAR(static_cast<double>(lx), 0.0, 1e-12);
    EXPECT_NEAR(static_cast<double>(ly), 0.0, 1e-12);
    // The distortion correction is what the generator's map adds.
    long double dx = 0.0L, dy = 0.0L;
    DistortionCorrection(u.camera, x, y, dx, dy);
    EXPECT_NEAR(static_cast<double>(x + dx), static_cast<double>(xc), 1e-12);
    EXPECT_NEAR(static_cast<double>(-(y + dy)), static_cast<double>(yc), 1e-12);
}

}  // namespace
}  // namespace pelvanor
