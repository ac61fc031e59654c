#pragma once

// An image reference: an immutable bitmap that any number of images, layers and arrays share by
// reference count. Its pixels never change after creation, so sharing needs no copying.

#include "platform/graphics/Bitmap.h"
#include "runtime/NSObject.h"

#include <atomic>

class CGImage : public NSObject {
public:
    static Class objcClass();
    // Takes the bitmap over; from then on nobody can change it.
    static Ref<CGImage> imageWithBitmap(Bitmap bitmap);

    // Only for the class's factory; an image made this way holds a 1x1 transparent pixel.
    CGImage();
    const Bitmap& bitmap() const { return m_bitmap; }
    int width() const { return m_bitmap.width(); }
    int height() const { return m_bitmap.height(); }
    // Whether every pixel is fully opaque (found once, on first asking: the pixels never change).
    bool isOpaque() const;

private:
    explicit CGImage(Bitmap bitmap) : m_bitmap(std::move(bitmap)) {}
    template <typename T, typename... Args> friend Ref<T> make_object(Args&&... args);
    Bitmap m_bitmap;
    mutable std::atomic<int> m_opaque{-1}; // -1 until known
};

using CGImageRef = CGImage*;
