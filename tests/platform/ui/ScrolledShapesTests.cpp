// Shapes inside a layer that scrolls and clips: moved with the scrolled pixels while the clip cuts
// them neither before nor after, worked out again where it does; every frame is the picture a
// renderer drawing everything afresh makes.

#include "platform/ui/LayerRenderer.h"
#include "tests/platform/ui/RendererTestLayers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// Pixels whose channels differ by more than one step of rounding.
int pixelsApart(const Bitmap& a, const Bitmap& b) {
    int apart = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            for (int shift = 0; shift < 32; shift += 8)
                if (std::abs(int(a.pixel(x, y) >> shift & 255) - int(b.pixel(x, y) >> shift & 255)) > 1) {
                    ++apart;
                    break;
                }
    return apart;
}

} // namespace

TEST(LayerRenderer, ShapesScrolledInAndOutOfTheClipAreCutWhereItCutsThem) {
    Ref<CALayer> root = colouredLayer(CGRectMake(0, 0, 200, 150), {0.1, 0.1, 0.15, 1});
    Ref<CALayer> table = colouredLayer(CGRectMake(0, 20, 200, 110), {0.95, 0.95, 0.97, 1});
    table->setMasksToBounds(true);
    root->addSublayer(table.get());
    // One wave near the table's top, one in its middle, one near its bottom: the scroll below takes
    // each across an edge of the table's clip and back, their paths never changing.
    Ref<CAShapeLayer> top = strokedLayer(table.get(), CGRectMake(0, 2, 200, 30), {0.8, 0.1, 0.1, 1}, 3);
    Ref<CAShapeLayer> middle = strokedLayer(table.get(), CGRectMake(0, 40, 200, 30), {0.1, 0.6, 0.1, 1}, 3);
    Ref<CAShapeLayer> bottom = strokedLayer(table.get(), CGRectMake(0, 76, 200, 30), {0.1, 0.1, 0.8, 1}, 3);
    top->setPath(sine(0.3, 10, 15).get());
    middle->setPath(sine(1.1, 10, 15).get());
    bottom->setPath(sine(2.0, 10, 15).get());

    // The first frame finds the top wave cut; the bottom one is drawn afresh while cut further on.
    table->setBounds(CGRectMake(0, 16, 200, 110));
    LayerRenderer fast(width, height, scale);
    fast.render(root.get());
    const double offsets[] = {10, 4, 0, 6, -6, -14, -22, -30, -18, -8, 0, 3};
    for (double offset : offsets) {
        table->setBounds(CGRectMake(0, offset, 200, 110));
        if (offset == -30)
            bottom->setPath(sine(2.6, 10, 15).get());
        fast.render(root.get());
        LayerRenderer fresh(width, height, scale);
        fresh.render(root.get());
        EXPECT_EQ(pixelsApart(fast.bitmap(), fresh.bitmap()), 0) << "scrolled to " << offset;
    }
}
