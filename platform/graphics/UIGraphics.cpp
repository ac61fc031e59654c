#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/UIImage.h"

#include <cmath>
#include <memory>
#include <vector>

namespace {

// Each context lives in its own allocation, so that a context reference stays valid while
// contexts are pushed above it.
std::vector<std::unique_ptr<CGBitmapContext>>& contextStack() {
    thread_local std::vector<std::unique_ptr<CGBitmapContext>> stack;
    return stack;
}

} // namespace

bool UIGraphicsBeginImageContext(CGSize size) {
    std::unique_ptr<CGBitmapContext> context;
    double width = std::ceil(size.width), height = std::ceil(size.height);
    if (std::isfinite(width) && std::isfinite(height) && width >= 1 && height >= 1 &&
        width <= CGBitmapContext::maxSide && height <= CGBitmapContext::maxSide)
        if (auto made = CGBitmapContext::create(static_cast<int>(width), static_cast<int>(height)))
            context = std::make_unique<CGBitmapContext>(std::move(*made));
    contextStack().push_back(std::move(context));
    return contextStack().back() != nullptr;
}

CGContextRef UIGraphicsGetCurrentContext() {
    auto& stack = contextStack();
    if (stack.empty() || !stack.back())
        return nullptr;
    return stack.back().get();
}

Ref<UIImage> UIGraphicsGetImageFromCurrentImageContext() {
    CGContextRef context = UIGraphicsGetCurrentContext();
    if (!context)
        return nullptr;
    auto bitmap = Bitmap::create(context->width(), context->height());
    if (!bitmap)
        return nullptr;
    const uint8_t* in = context->data();
    for (int y = 0; y < context->height(); ++y) {
        uint32_t* out = bitmap->row(y);
        for (int x = 0; x < context->width(); ++x, in += 4)
            out[x] = (uint32_t{in[3]} << 24) | (uint32_t{in[0]} << 16) | (uint32_t{in[1]} << 8) | in[2];
    }
    return UIImage::imageWithCGImage(CGImage::imageWithBitmap(std::move(*bitmap)));
}

void UIGraphicsEndImageContext() {
    auto& stack = contextStack();
    if (!stack.empty())
        stack.pop_back();
}
