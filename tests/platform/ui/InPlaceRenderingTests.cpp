// A renderer that draws into pixels it does not own (a window's memory): what it leaves there, frame
// after frame, through moves, animated strokes and a scroll, is exactly what a renderer with a bitmap
// of its own draws; the pixels stay the owner's.

#include "platform/graphics/Bitmap.h"
#include "platform/ui/LayerRenderer.h"
#include "tests/platform/ui/RendererTestLayers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

TEST(Bitmap, BorrowedPixelsAreDrawnWhereTheyLieAndACopyHasItsOwn) {
    std::vector<uint32_t> pixels(4 * 3, 0x11223344);
    {
        std::optional<Bitmap> borrowed = Bitmap::borrow(reinterpret_cast<uint8_t*>(pixels.data()), 4, 3);
        ASSERT_TRUE(borrowed);
        EXPECT_EQ(borrowed->data(), reinterpret_cast<uint8_t*>(pixels.data()));
        EXPECT_EQ(borrowed->pixel(3, 2), 0x11223344u) << "the owner's pixels, not cleared";
        borrowed->setPixel(1, 1, 0xff00ff00);
        EXPECT_EQ(pixels[1 * 4 + 1], 0xff00ff00u);
        Bitmap copy = *borrowed;
        copy.setPixel(0, 0, 0xffff0000);
        EXPECT_EQ(pixels[0], 0x11223344u) << "a copy draws in pixels of its own";
        Bitmap moved = std::move(*borrowed);
        EXPECT_EQ(moved.data(), reinterpret_cast<uint8_t*>(pixels.data()));
    }
    EXPECT_EQ(pixels[1 * 4 + 1], 0xff00ff00u) << "left as they were when the bitmaps went";
    EXPECT_FALSE(Bitmap::borrow(nullptr, 4, 3));
    EXPECT_FALSE(Bitmap::borrow(reinterpret_cast<uint8_t*>(pixels.data()), 0, 3));
    EXPECT_FALSE(Bitmap::borrow(reinterpret_cast<uint8_t*>(pixels.data()), 4, -1));
    EXPECT_FALSE(Bitmap::borrow(reinterpret_cast<uint8_t*>(pixels.data()), 1 << 30, 1 << 30));
}

TEST(LayerRenderer, DrawingIntoBorrowedPixelsLeavesThereWhatItsOwnBitmapWouldHold) {
    // The tree leaves the bottom rows of the canvas undrawn.
    Ref<CALayer> root = colouredLayer(CGRectMake(0, 0, 200, 140), {0.1, 0.1, 0.15, 1});
    Ref<CALayer> table = colouredLayer(CGRectMake(0, 20, 200, 110), {0.95, 0.95, 0.97, 1});
    table->setMasksToBounds(true);
    for (int i = 0; i < 8; ++i)
        table->addSublayer(
            colouredLayer(CGRectMake(10, 5 + i * 30, 180, 24), {0.2 + 0.08 * i, 0.5, 1 - 0.1 * i, 1}).get());
    Ref<CAShapeLayer> wave = strokedLayer(root.get(), CGRectMake(0, 90, 200, 60), {1, 1, 1, 0.8}, 3);
    Ref<CALayer> badge = colouredLayer(CGRectMake(150, 5, 30, 12), {0.9, 0.2, 0.2, 1});
    root->insertSublayer(table.get(), 0);
    root->addSublayer(badge.get());

    // The window's memory holds whatever it held before: the renderer must not rely on it.
    std::vector<uint32_t> window(static_cast<size_t>(width) * height, 0xdeadbeef);
    auto* memory = reinterpret_cast<uint8_t*>(window.data());
    {
        std::optional<Bitmap> surface = Bitmap::borrow(memory, width, height);
        ASSERT_TRUE(surface);
        LayerRenderer inPlace(std::move(*surface), scale, LayerRenderer::Mode::Incremental);
        LayerRenderer own(width, height, scale, LayerRenderer::Mode::Incremental);
        for (int step = 0; step < 12; ++step) {
            wave->setPath(sine(step * 0.4, 20, 30).get());
            if (step % 3 == 1)
                table->setBounds(CGRectMake(0, step * 6.0, 200, 110));
            if (step == 7)
                badge->setPosition({40.5, 12});
            inPlace.render(root.get());
            own.render(root.get());
            ASSERT_EQ(inPlace.bitmap().data(), memory) << "step " << step;
            EXPECT_EQ(firstDifference(inPlace.bitmap(), own.bitmap()), "") << "step " << step;
        }
        EXPECT_TRUE(inPlace.render(root.get()).isEmpty()) << "nothing changed, nothing drawn";
    }
    LayerRenderer fresh(width, height, scale);
    fresh.render(root.get());
    std::optional<Bitmap> left = Bitmap::borrow(memory, width, height);
    ASSERT_TRUE(left);
    EXPECT_EQ(firstDifference(*left, fresh.bitmap()), "") << "the last picture stays in the window's memory";
}
