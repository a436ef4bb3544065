#include "orientation/collinearity.h"

#include <array>
#include <cmath>
#include <functional>
#include <limits>

#include <gtest/gtest.h>

#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using test::MakeMatrix;
using test::IsNearRel;

constexpr long double kPi = 3.141592653589793238462643383279502884L;

// Everything a collinearity member takes, with the rotation given by angles.
struct Scene {
    long double X = 3.0L, Y = 4.0L, Z = 1.5L;  // object point
    long double x = 0.7L, y = -1.1L;           // measured image point
    long double X0 = 1.0L, Y0 = 2.0L, Z0 = 20.0L;
    long double alfa = 0.1L, beta = -0.2L, gama = 0.3L;
    long double x0 = 0.3L, y0 = -0.2L, f = 35.0L;
};

using Member = bool (*)(const Matice&, MatPtr&, MatPtr&, long double, long double, long double,
                        long double, long double, long double, long double, long double,
                        long double, long double, long double, long double, long double,
                        long double, long double);

bool Call(Member member, const Scene& s, MatPtr& design, MatPtr& misclosure) {
    MatPtr R;
    if (!RotationMatrix(R, s.alfa, s.beta, s.gama)) return false;
    MatPtr point = MakeMatrix({{s.X, s.Y, s.Z, s.x, s.y}});
    const auto& r = R->prvky;
    return member(*point, design, misclosure, r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7], r[8],
                  s.X0, s.Y0, s.Z0, s.x0, s.y0, s.f);
}

// Computed image coordinates (xc, yc) = misclosure + measured.
std::array<long double, 2> Computed(const Scene& s) {
    MatPtr design, misclosure;
    EXPECT_TRUE(Call(CollinearityRows6, s, design, misclosure));
    return {misclosure->GetPrvek(1, 1) + s.x, misclosure->GetPrvek(2, 1) + s.y};
}

using Field = long double Scene::*;

// Central finite difference of xc and yc in one unknown.
std::array<long double, 2> Difference(const Scene& s, Field field) {
    const long double h = 1e-6L * std::fmax(1.0L, std::fabs(s.*field));
    Scene plus = s, minus = s;
    plus.*field += h;
    minus.*field -= h;
    const auto cp = Computed(plus);
    const auto cm = Computed(minus);
    return {(cp[0] - cm[0]) / (2 * h), (cp[1] - cm[1]) / (2 * h)};
}

void CheckAgainstDifferences(Member member, const std::vector<Field>& columns, const Scene& s) {
    MatPtr design, misclosure;
    ASSERT_TRUE(Call(member, s, design, misclosure));
    ASSERT_EQ(design->r, 2);
    ASSERT_EQ(design->s, columns.size());
    ASSERT_EQ(misclosure->r, 2);
    ASSERT_EQ(misclosure->s, 1);
    for (std::size_t j = 0; j < columns.size(); ++j) {
        const auto d = Difference(s, columns[j]);
        for (int row = 0; row < 2; ++row) {
            const long double analytic = design->GetPrvek(row + 1, static_cast<int>(j + 1));
            EXPECT_TRUE(IsNearRel(analytic, d[static_cast<std::size_t>(row)], 1e-8L))
                << "row " << row + 1 << " column " << j + 1 << ": " << static_cast<double>(analytic)
                << " vs " << static_cast<double>(d[static_cast<std::size_t>(row)]);
        }
    }
}

TEST(RotationMatrix, ZeroAnglesGiveIdentity) {
    MatPtr R;
    ASSERT_TRUE(RotationMatrix(R, 0.0L, 0.0L, 0.0L));
    ASSERT_EQ(R->r, 1);
    ASSERT_EQ(R->s, 9);
    const long double identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (int j = 0; j < 9; ++j) EXPECT_EQ(R->GetPrvek(1, j + 1), identity[j]);
}

TEST(RotationMatrix, QuarterTurnAboutZ) {
    MatPtr R;
    ASSERT_TRUE(RotationMatrix(R, 0.0L, 0.0L, kPi / 2));
    EXPECT_NEAR(static_cast<double>(R->GetPrvek(1, 2)), -1.0, 1e-18);
    EXPECT_NEAR(static_cast<double>(R->GetPrvek(1, 4)), 1.0, 1e-18);
    EXPECT_NEAR(static_cast<double>(R->GetPrvek(1, 1)), 0.0, 1e-18);
    EXPECT_NEAR(static_cast<double>(R->GetPrvek(1, 9)), 1.0, 1e-18);
}

TEST(RotationMatrix, IsTheProductOfTheThreeAxisRotations) {
    const long double a = 0.4L, b = -0.7L, g = 1.9L;
    MatPtr R;
    ASSERT_TRUE(RotationMatrix(R, a, b, g));
    const long double R1[3][3] = {{1, 0, 0}, {0, std::cos(a), -std::sin(a)}, {0, std::sin(a), std::cos(a)}};
    const long double R2[3][3] = {{std::cos(b), 0, std::sin(b)}, {0, 1, 0}, {-std::sin(b), 0, std::cos(b)}};
    const long double R3[3][3] = {{std::cos(g), -std::sin(g), 0}, {std::sin(g), std::cos(g), 0}, {0, 0, 1}};
    long double T[3][3] = {}, P[3][3] = {};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) T[i][j] += R1[i][k] * R2[k][j];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) P[i][j] += T[i][k] * R3[k][j];
    // Row 1 of R holds the matrix row by row.
    EXPECT_TRUE(test::ArraysNearRel({R->Row(1), 9}, {&P[0][0], 9}, 1e-17L));
}

TEST(RotationMatrix, NonFiniteAngleFails) {
    MatPtr R;
    EXPECT_FALSE(RotationMatrix(R, std::numeric_limits<long double>::quiet_NaN(), 0.0L, 0.0L));
    EXPECT_FALSE(RotationMatrix(R, 0.0L, std::numeric_limits<long double>::infinity(), 0.0L));
}

TEST(AnglesFromRotation, RoundTrip) {
    for (auto [a, b, g] : {std::array<long double, 3>{0.1L, -0.2L, 0.3L},
                           std::array<long double, 3>{-2.9L, 1.2L, 3.0L},
                           std::array<long double, 3>{1.0L, 0.0L, -2.0L}}) {
        MatPtr R;
        ASSERT_TRUE(RotationMatrix(R, a, b, g));
        const auto& r = R->prvky;
        const Angles back = AnglesFromRotation(r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7], r[8]);
        EXPECT_TRUE(IsNearRel(back.alfa, a, 1e-17L)) << static_cast<double>(back.alfa);
        EXPECT_TRUE(IsNearRel(back.beta, b, 1e-17L)) << static_cast<double>(back.beta);
        EXPECT_TRUE(IsNearRel(back.gama, g, 1e-17L)) << static_cast<double>(back.gama);
    }
}

TEST(Collinearity, ProjectionExample) {
    MatPtr point = MakeMatrix({{1, 2, 0, 0, 0}});
    MatPtr design, misclosure;
    ASSERT_TRUE(CollinearityRows6(*point, design, misclosure, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 10,
                                  0, 0, 1));
    EXPECT_TRUE(IsNearRel(misclosure->GetPrvek(1, 1), 0.1L, 1e-18L));
    EXPECT_TRUE(IsNearRel(misclosure->GetPrvek(2, 1), 0.2L, 1e-18L));
    ASSERT_TRUE(CollinearityRows6(*point, design, misclosure, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 10,
                                  0.05L, 0.05L, 1));
    EXPECT_TRUE(IsNearRel(misclosure->GetPrvek(1, 1), 0.15L, 1e-18L));
    EXPECT_TRUE(IsNearRel(misclosure->GetPrvek(2, 1), 0.15L, 1e-18L));

    // Measured where the model projects: zero misclosure.
    MatPtr exact = MakeMatrix({{1, 2, 0, 0.15L, 0.15L}});
    ASSERT_TRUE(CollinearityRows6(*exact, design, misclosure, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 10,
                                  0.05L, 0.05L, 1));
    EXPECT_NEAR(static_cast<double>(misclosure->GetPrvek(1, 1)), 0.0, 1e-18);
    EXPECT_NEAR(static_cast<double>(misclosure->GetPrvek(2, 1)), 0.0, 1e-18);
}

TEST(Collinearity, EveryColumnMatchesCentralDifferences) {
    const std::vector<Field> centre = {&Scene::X0, &Scene::Y0, &Scene::Z0,
                                       &Scene::alfa, &Scene::beta, &Scene::gama};
    std::vector<Field> rows9 = {&Scene::X, &Scene::Y, &Scene::Z};
    rows9.insert(rows9.end(), centre.begin(), centre.end());
    std::vector<Field> rows10 = rows9;
    rows10.push_back(&Scene::f);
    const std::vector<Field> rows3 = {&Scene::X, &Scene::Y, &Scene::Z};

    Scene gentle;
    Scene steep;  // large angles, cos gama < 0, point off to the side
    steep.alfa = 0.7L;
    steep.beta = -1.1L;
    steep.gama = 2.5L;
    steep.X = -6.0L;
    steep.Y = 9.0L;
    steep.Z = -4.0L;
    for (const Scene& s : {gentle, steep}) {
        SCOPED_TRACE(static_cast<double>(s.gama));
        CheckAgainstDifferences(CollinearityRows6, centre, s);
        CheckAgainstDifferences(CollinearityRows9, rows9, s);
        CheckAgainstDifferences(CollinearityRows10, rows10, s);
        CheckAgainstDifferences(CollinearityRows3, rows3, s);
    }
}

TEST(Collinearity, MembersShareColumnsAndMisclosure) {
    const Scene s;
    MatPtr d6, l6, d9, l9, d10, l10, d3, l3;
    ASSERT_TRUE(Call(CollinearityRows6, s, d6, l6));
    ASSERT_TRUE(Call(CollinearityRows9, s, d9, l9));
    ASSERT_TRUE(Call(CollinearityRows10, s, d10, l10));
    ASSERT_TRUE(Call(CollinearityRows3, s, d3, l3));
    for (int row = 1; row <= 2; ++row) {
        for (int j = 1; j <= 3; ++j) {
            EXPECT_EQ(d9->GetPrvek(row, j), -d6->GetPrvek(row, j));
            EXPECT_EQ(d10->GetPrvek(row, j), -d6->GetPrvek(row, j));
            EXPECT_EQ(d3->GetPrvek(row, j), -d6->GetPrvek(row, j));
        }
        for (int j = 1; j <= 6; ++j) {
            EXPECT_EQ(d9->GetPrvek(row, j + 3), d6->GetPrvek(row, j));
            EXPECT_EQ(d10->GetPrvek(row, j + 3), d6->GetPrvek(row, j));
        }
        EXPECT_EQ(l9->GetPrvek(row, 1), l6->GetPrvek(row, 1));
        EXPECT_EQ(l10->GetPrvek(row, 1), l6->GetPrvek(row, 1));
        EXPECT_EQ(l3->GetPrvek(row, 1), l6->GetPrvek(row, 1));
    }
}

TEST(Collinearity, PointInThePlaneOfTheCentreFails) {
    MatPtr point = MakeMatrix({{1, 2, 10, 0, 0}});
    MatPtr design, misclosure;
    EXPECT_FALSE(CollinearityRows6(*point, design, misclosure, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 10,
                                   0, 0, 1));
    // The design rows come first; the misclosure is never created.
    EXPECT_TRUE(design);
    EXPECT_FALSE(misclosure);
    EXPECT_FALSE(CollinearityRows3(*point, design, misclosure, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 10,
                                   0, 0, 1));
}

TEST(Collinearity, ShortPointRowFails) {
    MatPtr point = MakeMatrix({{1, 2, 0, 0}});
    MatPtr design, misclosure;
    EXPECT_FALSE(CollinearityRows6(*point, design, misclosure, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 10,
                                   0, 0, 1));
}

}  // namespace
}  // namespace pelvanor
