// Tie points measured only on their nearest images: the same truth as
// without the limit, and each point kept on the nearest of the images that
// measured it before.

#include <algorithm>
#include <map>
#include <vector>

#include <gtest/gtest.h>

#include "tools/synth/synth.h"

namespace pelvanor {
namespace {

TEST(SynthMaxViews, KeepsEachTiePointOnItsNearestImages) {
    synth::Options o;
    o.images = 8;
    o.points = 40;
    o.distortion = false;
    o.seed = 9;
    synth::Project all, near;
    ASSERT_TRUE(synth::Generate(o, all));
    o.max_views = 3;
    ASSERT_TRUE(synth::Generate(o, near));
    ASSERT_EQ(all.tie_points.size(), near.tie_points.size());

    std::map<long long, std::vector<int>> onAll, onNear;
    for (int i = 0; i < o.images; ++i) {
        for (const auto& ob : all.images[static_cast<std::size_t>(i)].points) onAll[ob.id].push_back(i);
        for (const auto& ob : near.images[static_cast<std::size_t>(i)].points) onNear[ob.id].push_back(i);
    }
    int limited = 0;
    for (const auto& pt : all.tie_points) {
        const auto dist = [&](int i) {
            const auto& st = all.stations[static_cast<std::size_t>(i)];
            return (pt.X - st.X0) * (pt.X - st.X0) + (pt.Y - st.Y0) * (pt.Y - st.Y0) + (pt.Z - st.Z0) * (pt.Z - st.Z0);
        };
        std::vector<int> expected = onAll[pt.id];
        std::sort(expected.begin(), expected.end(), [&](int a, int b) { return dist(a) < dist(b); });
        if (expected.size() > 3) {
            expected.resize(3);
            ++limited;
        }
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(onNear[pt.id], expected) << pt.id;
        EXPECT_GE(onNear[pt.id].size(), 2u);
    }
    EXPECT_GT(limited, 0);
}

}  // namespace
}  // namespace pelvanor
