#include "project/point_selection.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "project/loaders.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

// Control point lines "number X Y Z x y"; the coordinates do not matter here.
std::string ControlLines(const std::vector<std::string>& numbers) {
    std::string text;
    for (std::size_t i = 0; i < numbers.size(); ++i)
        text += numbers[i] + " " + std::to_string(i) + ".5 " + std::to_string(i % 3) + ".25 0.0 0.25 -0.75\n";
    return text;
}

std::vector<long double> Selected(const ProjectState& state) {
    const Matice& m = *state.SelectedOrientationPoints;
    return std::vector<long double>(m.prvky.begin(), m.prvky.end());
}

TEST(PointSelection, ListsAnImagesPointsAndStoresExactlyFourMarks) {
    test::TempDir dir;
    test::WriteFileBytes(dir.Path("a.txt"), ControlLines({"11", "12", "13", "14"}));
    test::WriteFileBytes(dir.Path("b.txt"), ControlLines({"21", "22", "23.5", "24", "25", "26"}));
    ProjectState state;
    ASSERT_EQ(LoadControlPoints({dir.Path("a.txt"), dir.Path("b.txt")}, state).status,
              ControlLoadResult::Status::Loaded);
    const std::vector<long double> preset{11, 12, 13, 14, 21, 22, 23.5L, 24};
    ASSERT_EQ(Selected(state), preset);

    std::vector<std::string> numbers;
    ASSERT_TRUE(SelectablePointNumbers(state, 2, ',', numbers));
    EXPECT_EQ(numbers, (std::vector<std::string>{"21", "22", "23,5", "24", "25", "26"}));
    EXPECT_FALSE(SelectablePointNumbers(state, 3, ',', numbers));
    EXPECT_TRUE(numbers.empty());

    // Five marks, then three: refused, nothing stored.
    EXPECT_FALSE(StoreSelectedPoints(state, 2, {true, true, true, true, true, false}, ','));
    EXPECT_FALSE(StoreSelectedPoints(state, 2, {false, true, true, true, false, false}, ','));
    EXPECT_EQ(Selected(state), preset);

    // Lines 1, 3, 4 and 5 of image 2 go to rows 5-8, in line order.
    EXPECT_TRUE(StoreSelectedPoints(state, 2, {true, false, true, true, true, false}, ','));
    EXPECT_EQ(Selected(state), (std::vector<long double>{11, 12, 13, 14, 21, 23.5L, 24, 25}));
}

}  // namespace
}  // namespace pelvanor
