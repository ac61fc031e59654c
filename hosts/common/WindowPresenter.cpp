#include "hosts/common/WindowPresenter.h"
#include "hosts/common/Downscale.h"
#include "hosts/common/UpdateAreas.h"

#include <SDL.h>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// Window rows between two changed areas below which they go to the display as one rectangle.
constexpr int updateGap = 32;

// The number of device pixels to a window pixel on each side when it is whole (1 to 4) and the
// window's memory is XRGB, as the fast reductions need; 0 otherwise.
int wholeFactor(const SDL_Surface* surface, double sx, double sy) {
    const SDL_PixelFormat* format = surface->format;
    bool packed = format->Rmask == 0xff0000 && format->Gmask == 0xff00 && format->Bmask == 0xff;
    int k = static_cast<int>(sx);
    return packed && sx == k && sy == k && k >= 1 && k <= 4 ? k : 0;
}

// Moves the window's pixels as the renderer moved the screen's, when that is a whole number of
// window pixels; answers whether it did.
bool moveInWindow(SDL_Surface* surface, const LayerRenderer::Scroll& scroll, double sx, double sy) {
    auto whole = [](double value, double& into) {
        into = std::round(value);
        return std::fabs(value - into) < 1e-9;
    };
    double x, y, w, h, dx, dy;
    if (!whole(scroll.clip.x / sx, x) || !whole(scroll.clip.y / sy, y) || !whole(scroll.clip.width / sx, w) ||
        !whole(scroll.clip.height / sy, h) || !whole(scroll.dx / sx, dx) || !whole(scroll.dy / sy, dy))
        return false;
    IntRect clip = IntRect{static_cast<int>(x), static_cast<int>(y), static_cast<int>(w), static_cast<int>(h)}
                       .intersected({0, 0, surface->w, surface->h});
    int mx = static_cast<int>(dx), my = static_cast<int>(dy);
    IntRect source = IntRect{clip.x - mx, clip.y - my, clip.width, clip.height}.intersected(clip);
    if (source.isEmpty())
        return true;
    SDL_LockSurface(surface);
    auto row = [&](int line) {
        return reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(surface->pixels) + line * surface->pitch);
    };
    auto copy = [&](int line) {
        std::memmove(row(line + my) + source.x + mx, row(line) + source.x,
                     static_cast<size_t>(source.width) * 4);
    };
    if (my > 0)
        for (int line = source.bottom() - 1; line >= source.y; --line)
            copy(line);
    else
        for (int line = source.y; line < source.bottom(); ++line)
            copy(line);
    SDL_UnlockSurface(surface);
    return true;
}

// Each window pixel is the mean of the device pixels it covers (whole pixels, which is exact
// for the usual whole-number ratios).
void reduce(const Bitmap& bitmap, SDL_Surface* surface, int x0, int y0, int x1, int y1, double sx,
            double sy) {
    SDL_PixelFormat* format = surface->format;
    if (int k = wholeFactor(surface, sx, sy)) {
        // The usual case: a whole number of device pixels per window pixel, XRGB memory.
        downscaleByWholeFactor(bitmap, static_cast<uint8_t*>(surface->pixels),
                               static_cast<size_t>(surface->pitch), x0, y0, x1, y1, k);
        return;
    }
    for (int y = y0; y < y1; ++y) {
        int top = static_cast<int>(y * sy),
            bottom = std::max(top + 1, std::min(bitmap.height(), static_cast<int>((y + 1) * sy)));
        auto* out = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(surface->pixels) + y * surface->pitch);
        for (int x = x0; x < x1; ++x) {
            int left = static_cast<int>(x * sx),
                right = std::max(left + 1, std::min(bitmap.width(), static_cast<int>((x + 1) * sx)));
            uint32_t r = 0, g = 0, b = 0, n = 0;
            for (int v = top; v < bottom; ++v) {
                const uint32_t* row = bitmap.row(v);
                for (int u = left; u < right; ++u) {
                    uint32_t p = row[u];
                    r += (p >> 16) & 0xff;
                    g += (p >> 8) & 0xff;
                    b += p & 0xff;
                    ++n;
                }
            }
            out[x] = SDL_MapRGB(format, static_cast<uint8_t>(r / n), static_cast<uint8_t>(g / n),
                                static_cast<uint8_t>(b / n));
        }
    }
}

} // namespace

bool WindowPresenter::valid() {
    SDL_Surface* surface = SDL_GetWindowSurface(m_window);
    return surface && surface->format->BytesPerPixel == 4;
}

void WindowPresenter::present(const Bitmap& bitmap, const Region& changed, const Region& repainted,
                              const std::optional<LayerRenderer::Scroll>& scroll,
                              std::span<const CoverageMask* const> coverage) {
    SDL_Surface* surface = SDL_GetWindowSurface(m_window);
    if (!surface || surface->format->BytesPerPixel != 4)
        return;
    bool full = !m_presented || surface->w != m_width || surface->h != m_height;
    m_width = surface->w;
    m_height = surface->h;
    if (!full && changed.isEmpty())
        return;
    double sx = static_cast<double>(bitmap.width()) / surface->w;
    double sy = static_cast<double>(bitmap.height()) / surface->h;
    const Region* reduced = &changed;
    if (!full && scroll && moveInWindow(surface, *scroll, sx, sy))
        reduced = &repainted;
    // Only the changed pixels are reduced; the display gets rectangles around them, merged where
    // they lie close together.
    std::vector<IntRect> areas =
        full ? std::vector<IntRect>{IntRect{0, 0, bitmap.width(), bitmap.height()}} : reduced->rects();
    std::vector<IntRect> updates =
        full ? areas
             : mergedUpdateAreas(changed.rects(), updateGap * bitmap.height() / std::max(surface->h, 1));
    auto toWindow = [&](const IntRect& area) {
        int x0 = static_cast<int>(std::floor(area.x / sx)), y0 = static_cast<int>(std::floor(area.y / sy));
        int x1 = std::min(surface->w, static_cast<int>(std::ceil(area.right() / sx)));
        int y1 = std::min(surface->h, static_cast<int>(std::ceil(area.bottom() / sy)));
        return SDL_Rect{x0, y0, x1 - x0, y1 - y0};
    };
    SDL_LockSurface(surface);
    int k = wholeFactor(surface, sx, sy);
    if (!full && !scroll && !coverage.empty() && k) {
        // Moving shapes changed only what lies under them: the rest of the window is right.
        downscaleUnderCoverage(bitmap, static_cast<uint8_t*>(surface->pixels),
                               static_cast<size_t>(surface->pitch), coverage, k);
    } else {
        for (const IntRect& area : areas) {
            SDL_Rect r = toWindow(area);
            if (r.w > 0 && r.h > 0)
                reduce(bitmap, surface, r.x, r.y, r.x + r.w, r.y + r.h, sx, sy);
        }
    }
    SDL_UnlockSurface(surface);
    std::vector<SDL_Rect> rects;
    for (const IntRect& update : updates) {
        SDL_Rect rect = toWindow(update);
        if (rect.w > 0 && rect.h > 0)
            rects.push_back(rect);
    }
    if (!rects.empty())
        SDL_UpdateWindowSurfaceRects(m_window, rects.data(), static_cast<int>(rects.size()));
    m_presented = true;
}
