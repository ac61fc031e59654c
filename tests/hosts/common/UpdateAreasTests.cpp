#include "hosts/common/UpdateAreas.h"

#include <gtest/gtest.h>

namespace {

bool same(const IntRect& a, const IntRect& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

} // namespace

TEST(UpdateAreas, ChangesCloseTogetherGoAsOneRectangleAndChangesFarApartAsTheirOwn) {
    // The waves of a header at the top (bands of a region, side by side and stacked) and of one at
    // the bottom of the page.
    Region changed;
    changed.unite(IntRect{0, 100, 300, 40});
    changed.unite(IntRect{350, 110, 400, 40});
    changed.unite(IntRect{0, 160, 750, 30});
    changed.unite(IntRect{0, 1270, 750, 60});
    std::vector<IntRect> areas = mergedUpdateAreas(changed.rects(), 32);
    ASSERT_EQ(areas.size(), 2u);
    EXPECT_TRUE(same(areas[0], IntRect{0, 100, 750, 90}));
    EXPECT_TRUE(same(areas[1], IntRect{0, 1270, 750, 60}));
    // With a gap as large as the page between them, one rectangle around all.
    areas = mergedUpdateAreas(changed.rects(), 2000);
    ASSERT_EQ(areas.size(), 1u);
    EXPECT_TRUE(same(areas[0], IntRect{0, 100, 750, 1230}));
    EXPECT_TRUE(mergedUpdateAreas({IntRect{5, 5, 0, 10}}, 32).empty()) << "nothing to send";
}
