#include "hosts/common/WindowPresenter.h"
#include "hosts/common/UpdateAreas.h"

#include <SDL.h>
#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Window rows between two changed areas below which they go to the display as one rectangle.
constexpr int updateGap = 32;

uint32_t* surfaceRow(SDL_Surface* surface, int y) {
    return reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(surface->pixels) + y * surface->pitch);
}

// Copies `length` pixels of a row of the screen into the window's memory. The screen is opaque
// (0xFFRRGGBB): XRGB memory, the usual kind, takes it as it is.
void copyRun(const uint32_t* from, uint32_t* to, int length, const SDL_PixelFormat* format) {
    if (format->Rmask == 0xff0000 && format->Gmask == 0xff00 && format->Bmask == 0xff) {
        std::memcpy(to, from, static_cast<size_t>(length) * 4);
        return;
    }
    for (int i = 0; i < length; ++i)
        to[i] = SDL_MapRGB(format, static_cast<uint8_t>(from[i] >> 16), static_cast<uint8_t>(from[i] >> 8),
                           static_cast<uint8_t>(from[i]));
}

void copyRect(const Bitmap& bitmap, SDL_Surface* surface, const IntRect& rect) {
    for (int y = rect.y; y < rect.bottom(); ++y)
        copyRun(bitmap.row(y) + rect.x, surfaceRow(surface, y) + rect.x, rect.width, surface->format);
}

// Moves the window's pixels as the renderer moved the screen's.
void moveInWindow(SDL_Surface* surface, const LayerRenderer::Scroll& scroll) {
    IntRect clip = scroll.clip.intersected({0, 0, surface->w, surface->h});
    IntRect source =
        IntRect{clip.x - scroll.dx, clip.y - scroll.dy, clip.width, clip.height}.intersected(clip);
    if (source.isEmpty())
        return;
    auto copy = [&](int line) {
        std::memmove(surfaceRow(surface, line + scroll.dy) + source.x + scroll.dx,
                     surfaceRow(surface, line) + source.x, static_cast<size_t>(source.width) * 4);
    };
    if (scroll.dy > 0)
        for (int line = source.bottom() - 1; line >= source.y; --line)
            copy(line);
    else
        for (int line = source.y; line < source.bottom(); ++line)
            copy(line);
}

} // namespace

bool WindowPresenter::valid() {
    SDL_Surface* surface = SDL_GetWindowSurface(m_window);
    return surface && surface->format->BytesPerPixel == 4;
}

namespace {

bool holdsScreenPixels(const SDL_Surface* surface) {
    return surface && surface->pixels && surface->format->BytesPerPixel == 4 &&
           surface->format->Rmask == 0xff0000 && surface->format->Gmask == 0xff00 &&
           surface->format->Bmask == 0xff && surface->pitch == surface->w * 4 && !SDL_MUSTLOCK(surface);
}

} // namespace

std::optional<Bitmap> WindowPresenter::surfaceBitmap() {
    SDL_Surface* surface = SDL_GetWindowSurface(m_window);
    if (!holdsScreenPixels(surface))
        return std::nullopt;
    return Bitmap::borrow(static_cast<uint8_t*>(surface->pixels), surface->w, surface->h);
}

bool WindowPresenter::inPlace(const Bitmap& bitmap) {
    SDL_Surface* surface = SDL_GetWindowSurface(m_window);
    return holdsScreenPixels(surface) && bitmap.data() == surface->pixels && bitmap.width() == surface->w &&
           bitmap.height() == surface->h;
}

IntRect WindowPresenter::area() {
    SDL_Surface* surface = SDL_GetWindowSurface(m_window);
    return surface ? IntRect{0, 0, surface->w, surface->h} : IntRect{};
}

void WindowPresenter::present(const Bitmap& bitmap, const Region& changed, const Region& repainted,
                              const std::optional<LayerRenderer::Scroll>& scroll,
                              std::span<const CoverageMask* const> coverage) {
    SDL_Surface* surface = SDL_GetWindowSurface(m_window);
    if (!surface || surface->format->BytesPerPixel != 4 || bitmap.width() != surface->w ||
        bitmap.height() != surface->h)
        return;
    bool full = !m_presented || surface->w != m_width || surface->h != m_height;
    m_width = surface->w;
    m_height = surface->h;
    if (!full && changed.isEmpty())
        return;
    IntRect all{0, 0, surface->w, surface->h};
    SDL_LockSurface(surface);
    if (bitmap.data() == surface->pixels) {
        // Drawn where the display reads it: nothing to copy or move.
    } else if (full) {
        copyRect(bitmap, surface, all);
    } else if (scroll) {
        moveInWindow(surface, *scroll);
        for (const IntRect& rect : repainted.rects())
            copyRect(bitmap, surface, rect.intersected(all));
    } else if (!coverage.empty()) {
        // Moving shapes changed only what lies under them: the rest of the window is right.
        for (const CoverageMask* mask : coverage)
            for (const CoverageSpan& span : mask->spans()) {
                IntRect run = IntRect{span.x, span.y, span.length, 1}.intersected(all);
                if (!run.isEmpty())
                    copyRun(bitmap.row(run.y) + run.x, surfaceRow(surface, run.y) + run.x, run.width,
                            surface->format);
            }
    } else {
        for (const IntRect& rect : changed.rects())
            copyRect(bitmap, surface, rect.intersected(all));
    }
    SDL_UnlockSurface(surface);
    // The display gets rectangles around what changed, merged where they lie close together.
    std::vector<SDL_Rect> rects;
    for (const IntRect& update :
         full ? std::vector<IntRect>{all} : mergedUpdateAreas(changed.rects(), updateGap))
        if (IntRect r = update.intersected(all); !r.isEmpty())
            rects.push_back(SDL_Rect{r.x, r.y, r.width, r.height});
    if (!rects.empty())
        SDL_UpdateWindowSurfaceRects(m_window, rects.data(), static_cast<int>(rects.size()));
    m_presented = true;
}
