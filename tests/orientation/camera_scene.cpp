#include "tests/orientation/camera_scene.h"

#include <cmath>
#include <random>

#include "orientation/collinearity.h"

namespace pelvanor::test {

std::vector<long double> RotationOf(const TrueImage& image) {
    MatPtr R;
    RotationMatrix(R, image.alfa, image.beta, image.gama);
    return R->prvky;
}

void ProjectPoint(const TrueImage& image, const Interior& camera, const ObjectPoint& p,
                  long double& x, long double& y) {
    const auto r = RotationOf(image);
    const long double dX = p.X - image.X0, dY = p.Y - image.Y0, dZ = p.Z - image.Z0;
    const long double U = r[0] * dX + r[3] * dY + r[6] * dZ;
    const long double V = r[1] * dX + r[4] * dY + r[7] * dZ;
    const long double W = r[2] * dX + r[5] * dY + r[8] * dZ;
    x = camera.x0 - camera.f * U / W;
    y = -camera.y0 - camera.f * V / W;
}

MatPtr ControlTable(const std::vector<TrueImage>& images, const Interior& camera,
                    const std::vector<ObjectPoint>& points, long double sigma, std::uint32_t seed,
                    MatPtr& counts, MatPtr& ranges) {
    const auto n = static_cast<std::uint16_t>(images.size());
    const auto c = static_cast<std::uint16_t>(points.size());
    MatPtr table = NewMatrix(static_cast<std::uint16_t>(n * c), 6);
    counts = NewMatrix(n, 1);
    ranges = NewMatrix(n, 2);
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, static_cast<double>(sigma));
    int row = 1;
    for (int i = 0; i < n; ++i) {
        counts->SetPrvek(i + 1, 1, c);
        ranges->SetPrvek(i + 1, 1, row);
        ranges->SetPrvek(i + 1, 2, row + c - 1);
        for (const ObjectPoint& p : points) {
            long double x = 0, y = 0;
            ProjectPoint(images[static_cast<std::size_t>(i)], camera, p, x, y);
            if (sigma > 0) {
                x += noise(rng);
                y += noise(rng);
            }
            table->SetPrvek(row, 1, p.number);
            table->SetPrvek(row, 2, p.X);
            table->SetPrvek(row, 3, p.Y);
            table->SetPrvek(row, 4, p.Z);
            table->SetPrvek(row, 5, x);
            table->SetPrvek(row, 6, y);
            ++row;
        }
    }
    return table;
}

long double RotationError(const Matice& orientation, int row, const TrueImage& truth) {
    const auto r = RotationOf(truth);
    long double worst = 0.0L;
    for (int j = 0; j < 9; ++j)
        worst = std::fmax(worst, std::fabs(orientation.GetPrvek(row, j + 1) - r[static_cast<std::size_t>(j)]));
    return worst;
}

}  // namespace pelvanor::test
