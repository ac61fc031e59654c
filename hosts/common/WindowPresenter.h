#pragma once

// The window's picture: the screen drawn at the window's own pixels, straight into the display's
// memory where its layout allows (otherwise copied there where it changed), and sent to the display
// as the rectangles that changed alone.

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/CoverageMask.h"
#include "platform/graphics/Region.h"
#include "platform/ui/LayerRenderer.h"

#include <optional>
#include <span>

struct SDL_Window;

class WindowPresenter {
public:
    explicit WindowPresenter(SDL_Window* window) : m_window(window) {}

    // Whether the window has a surface the picture can be written to.
    bool valid();
    // The size of the picture the window shows (its surface's pixels); 0 x 0 when it has none.
    IntRect area();
    // The display's memory for the window as a bitmap to draw the screen into, when it holds pixels
    // as the screen does (XRGB, rows without padding); nullopt otherwise. It lasts until the window's
    // surface changes (a resize): inPlace() says whether it still is the surface.
    std::optional<Bitmap> surfaceBitmap();
    bool inPlace(const Bitmap& bitmap);

    // bitmap: the screen at the window's pixels (a picture of another size is not shown), drawn in its
    // surface (surfaceBitmap) or to be copied there. changed:
    // every pixel that differs from the last frame; repainted: those drawn afresh (the rest were moved
    // by the scroll, if any, and are moved here too). coverage: when not empty, every changed pixel lies
    // under one of these masks.
    void present(const Bitmap& bitmap, const Region& changed, const Region& repainted,
                 const std::optional<LayerRenderer::Scroll>& scroll,
                 std::span<const CoverageMask* const> coverage);

    // The next present sends the whole picture (the window was exposed or resized).
    void invalidate() { m_presented = false; }

private:
    SDL_Window* m_window;
    bool m_presented = false;
    int m_width = 0;
    int m_height = 0;
};
