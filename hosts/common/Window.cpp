#include "hosts/common/Window.h"
#include "hosts/common/Downscale.h"
#include "hosts/common/Interruption.h"
#include "platform/graphics/UIColor.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/TextImage.h"
#include "platform/ui/UIScreen.h"
#include "platform/ui/UIView.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>

namespace {

// When nothing animates and nothing is due, the window sleeps until input, a source or a timer
// wakes it; this is only the longest single wait.
constexpr double idleWaitMilliseconds = 60 * 60 * 1000;
// How long SDL may go unasked for events while the loop runs.
constexpr int64_t pumpIntervalMilliseconds = 250;

// The display connection, for the run loop to wait on; descriptor -1 when the video driver has
// none to give (the window then looks for input at every refresh).
struct DisplayConnection {
    int descriptor = -1;
    void* x11 = nullptr; // the X library's Display
};

DisplayConnection displayConnection(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info))
        return {};
#if defined(SDL_VIDEO_DRIVER_X11)
    if (info.subsystem == SDL_SYSWM_X11)
        return {ConnectionNumber(info.info.x11.display), info.info.x11.display};
#endif
    return {};
}

// Events already read from the connection (into SDL's queue, or the X library's while the picture
// was sent) wake no wait on it: they are looked for, without reading, before sleeping.
bool eventsWaiting(const DisplayConnection& display) {
    if (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0)
        return true;
#if defined(SDL_VIDEO_DRIVER_X11)
    if (display.x11 && QLength(static_cast<Display*>(display.x11)) > 0)
        return true;
#endif
    return false;
}

// The window's picture: the renderer's bitmap (device pixels) reduced to the window's pixels by
// area averaging, only where it changed, and sent to the display as those rectangles alone.
class Presenter {
public:
    explicit Presenter(SDL_Window* window) : m_window(window) {}

    bool valid() {
        SDL_Surface* surface = SDL_GetWindowSurface(m_window);
        return surface && surface->format->BytesPerPixel == 4;
    }

    // changed: every pixel that differs from the last frame; repainted: those drawn afresh (the rest
    // were moved by the scroll, if any, and are moved here too when the move is whole window pixels).
    // coverage: when not empty, every changed pixel lies under one of these masks.
    void present(const Bitmap& bitmap, const Region& changed, const Region& repainted,
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
        // Only the changed pixels are reduced, but the display gets one rectangle around them: it
        // takes one large update for less than many small ones.
        std::vector<IntRect> areas =
            full ? std::vector<IntRect>{IntRect{0, 0, bitmap.width(), bitmap.height()}} : reduced->rects();
        IntRect whole = full ? areas[0] : changed.bounds();
        auto toWindow = [&](const IntRect& area) {
            int x0 = static_cast<int>(std::floor(area.x / sx)),
                y0 = static_cast<int>(std::floor(area.y / sy));
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
        SDL_Rect rect = toWindow(whole);
        if (rect.w > 0 && rect.h > 0)
            SDL_UpdateWindowSurfaceRects(m_window, &rect, 1);
        m_presented = true;
    }

    void invalidate() { m_presented = false; }

private:
    // Moves the window's pixels as the renderer moved the screen's, when that is a whole number of
    // window pixels; answers whether it did.
    static bool moveInWindow(SDL_Surface* surface, const LayerRenderer::Scroll& scroll, double sx,
                             double sy) {
        auto whole = [](double value, double& into) {
            into = std::round(value);
            return std::fabs(value - into) < 1e-9;
        };
        double x, y, w, h, dx, dy;
        if (!whole(scroll.clip.x / sx, x) || !whole(scroll.clip.y / sy, y) ||
            !whole(scroll.clip.width / sx, w) || !whole(scroll.clip.height / sy, h) ||
            !whole(scroll.dx / sx, dx) || !whole(scroll.dy / sy, dy))
            return false;
        IntRect clip =
            IntRect{static_cast<int>(x), static_cast<int>(y), static_cast<int>(w), static_cast<int>(h)}
                .intersected({0, 0, surface->w, surface->h});
        int mx = static_cast<int>(dx), my = static_cast<int>(dy);
        IntRect source = IntRect{clip.x - mx, clip.y - my, clip.width, clip.height}.intersected(clip);
        if (source.isEmpty())
            return true;
        SDL_LockSurface(surface);
        auto row = [&](int line) {
            return reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(surface->pixels) +
                                               line * surface->pitch);
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

    // The number of device pixels to a window pixel on each side when it is whole (1 to 4) and the
    // window's memory is XRGB, as the fast reductions need; 0 otherwise.
    static int wholeFactor(const SDL_Surface* surface, double sx, double sy) {
        const SDL_PixelFormat* format = surface->format;
        bool packed = format->Rmask == 0xff0000 && format->Gmask == 0xff00 && format->Bmask == 0xff;
        int k = static_cast<int>(sx);
        return packed && sx == k && sy == k && k >= 1 && k <= 4 ? k : 0;
    }

    // Each window pixel is the mean of the device pixels it covers (whole pixels, which is exact
    // for the usual whole-number ratios).
    static void reduce(const Bitmap& bitmap, SDL_Surface* surface, int x0, int y0, int x1, int y1, double sx,
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
            auto* out =
                reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(surface->pixels) + y * surface->pitch);
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

    SDL_Window* m_window;
    bool m_presented = false;
    int m_width = 0;
    int m_height = 0;
};

std::string baseTitle(WindowClient& client) {
    return "Zorvi - " + client.helpLine() + " | R: record | S: screenshot | ?: help";
}

std::string timeStamp() {
    char stamp[32];
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    return stamp;
}

// S: the screen as a PNG in device pixels, in the current folder; the title and stdout say where.
void takeScreenshot(WindowClient& client, SDL_Window* window, const char* command) {
    std::string path = std::string("zorvi-") + command + "-" + timeStamp() + ".png", error;
    std::string message = client.host().snapshot(path, error) ? "screenshot saved to " + path
                                                              : "cannot save a screenshot: " + error;
    SDL_SetWindowTitle(window, (message + " | " + baseTitle(client)).c_str());
    std::printf("%s\n", message.c_str());
    std::fflush(stdout);
}

// ? or F1: the keys, over the screen, until pressed again.
void toggleHelp(WindowClient& client, Ref<UIView>& overlay) {
    if (overlay) {
        overlay->removeFromSuperview();
        overlay = nullptr;
        return;
    }
    UIView* screen = client.host().screenView();
    if (!screen)
        return;
    double scale = UIScreen::mainScreen()->scale();
    overlay = makeViewWithFrame<UIView>(screen->bounds());
    overlay->setBackgroundColor(UIColor::colorWithRed(0, 0, 0, 0.78));
    double y = 90;
    for (const std::string& line : client.helpLines()) {
        if (Ref<CGImage> text = textImage(line, "DejaVu Sans 17px", scale)) {
            auto label =
                makeViewWithFrame<UIView>(CGRectMake(24, y, text->width() / scale, text->height() / scale));
            label->layer()->setContents(text.get());
            overlay->addSubview(label);
        }
        y += 30;
    }
    screen->addSubview(overlay);
}

// R: starts a recording in the current folder, or completes the one going. The title and stdout say
// where it went.
void toggleRecording(WindowClient& client, SDL_Window* window, const char* command) {
    ScriptedHost& host = client.host();
    std::string error, message;
    if (host.isRecording()) {
        auto finished = host.stopRecording(error);
        message = finished ? "recorded " + std::to_string(finished->frames) + " frames to " + finished->path
                           : "recording failed: " + error;
        SDL_SetWindowTitle(window, (message + " | " + baseTitle(client)).c_str());
    } else {
        std::string path = std::string("zorvi-") + command + "-" + timeStamp() + ".mp4";
        if (host.startRecording(path, 30, error)) {
            message = "recording to " + path + " (R to stop)";
            SDL_SetWindowTitle(window, ("Zorvi - " + message).c_str());
        } else {
            message = "cannot record: " + error;
            SDL_SetWindowTitle(window, (message + " | " + baseTitle(client)).c_str());
        }
    }
    std::printf("%s\n", message.c_str());
    std::fflush(stdout);
}

} // namespace

int runWindow(WindowClient& client, const char* command) {
    // Without a display SDL would fall back to drawing nowhere, and the program would run unseen.
    if (!std::getenv("SDL_VIDEODRIVER") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
        std::fprintf(stderr,
                     "zorvi %s: no display to show a window on (DISPLAY is not set); run it with --headless "
                     "--script FILE instead\n",
                     command);
        return 2;
    }
    // The window's pixels go straight to the display; a GL-backed surface would only add a
    // software rasterizer's threads on machines without a GPU.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "zorvi %s: no display for a window (%s); use --headless\n", command,
                     SDL_GetError());
        return 1;
    }
    UIScreen* screen = UIScreen::mainScreen();
    double pointWidth = screen->bounds().size.width, pointHeight = screen->bounds().size.height;
    // Fit the window on the display, keeping the screen's proportions.
    SDL_Rect usable{0, 0, 1920, 1080};
    SDL_GetDisplayUsableBounds(0, &usable);
    double fit = std::min({1.0, (usable.h - 40) / pointHeight, (usable.w - 40) / pointWidth});
    int windowWidth = static_cast<int>(std::lround(pointWidth * fit));
    int windowHeight = static_cast<int>(std::lround(pointHeight * fit));
    client.host().recordFromWindow();
    std::string title = client.host().isRecording()
                            ? "Zorvi - recording to " + client.host().recordingPath() + " (R to stop)"
                            : baseTitle(client);
    // The device's supervisor places its windows side by side.
    int x = SDL_WINDOWPOS_CENTERED;
    if (const char* placed = std::getenv("ZV_WINDOW_X"); placed && std::atoi(placed) >= 0)
        x = std::atoi(placed);
    SDL_Window* window = SDL_CreateWindow(title.c_str(), x, SDL_WINDOWPOS_CENTERED, windowWidth, windowHeight,
                                          SDL_WINDOW_ALLOW_HIGHDPI);
    if (!window) {
        std::fprintf(stderr, "zorvi %s: cannot open a window: %s\n", command, SDL_GetError());
        SDL_Quit();
        return 1;
    }
    std::printf("%s\n", client.helpLine().c_str());
    std::fflush(stdout);

    LayerRenderer& layers = client.host().renderer();
    Ref<UIView> help; // the help overlay while it shows
    int status = 0;
    {
        Presenter presenter(window);
        if (!presenter.valid()) {
            std::fprintf(stderr, "zorvi %s: cannot make the screen's texture: %s\n", command, SDL_GetError());
            status = 1;
        }
        RunLoop* loop = RunLoop::main();
        bool running = status == 0;
        // Ctrl-C or SIGTERM closes the window as its close button does (a recording is completed).
        Interruption interruption([] { RunLoop::main()->wake(); });
        DisplayConnection display = displayConnection(window);
        // SDL reads the display's events when asked; asking costs a read from the connection, so it
        // is asked when the connection has something, when events were already read, and now and
        // then for SDL's own timed work (focus changes it completes later).
        bool displayReadable = true;
        if (display.descriptor >= 0)
            loop->addReadSource(display.descriptor, [&displayReadable] { displayReadable = true; });
        int64_t lastPump = 0;
        auto toPoints = [&](int x, int y) { return CGPointMake(x / fit, y / fit); };
        while (running) {
            bool changed = false;
            SDL_Event event;
            int64_t now = static_cast<int64_t>(SDL_GetTicks64());
            bool pump = display.descriptor < 0 || displayReadable ||
                        now - lastPump >= pumpIntervalMilliseconds || eventsWaiting(display);
            displayReadable = false;
            if (pump)
                lastPump = now;
            while (pump && SDL_PollEvent(&event)) {
                changed = true;
                // What a person's input makes the product or the platform throw is logged; the window goes
                // on.
                RunLoopDetail::guarded("input", [&] {
                    switch (event.type) {
                    case SDL_QUIT:
                        running = false;
                        break;
                    case SDL_WINDOWEVENT:
                        if (event.window.event == SDL_WINDOWEVENT_EXPOSED ||
                            event.window.event == SDL_WINDOWEVENT_SHOWN ||
                            event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
                            presenter.invalidate();
                        break;
                    case SDL_KEYDOWN: {
                        SDL_Keycode key = event.key.keysym.sym;
                        char character = 0;
                        if (key == SDLK_RETURN || key == SDLK_KP_ENTER)
                            character = '\r';
                        else if (key == SDLK_BACKSPACE)
                            character = '\b';
                        else if (key >= 32 && key < 127)
                            character = static_cast<char>(key);
                        if (key == SDLK_r)
                            toggleRecording(client, window, command);
                        else if (key == SDLK_s)
                            takeScreenshot(client, window, command);
                        else if (key == SDLK_F1 || key == SDLK_QUESTION ||
                                 (key == SDLK_SLASH && (event.key.keysym.mod & KMOD_SHIFT)))
                            toggleHelp(client, help);
                        else if (!client.key(key, character))
                            running = false;
                        break;
                    }
                    case SDL_MOUSEBUTTONDOWN:
                        if (event.button.button == SDL_BUTTON_LEFT)
                            client.pointerDown(toPoints(event.button.x, event.button.y));
                        break;
                    case SDL_MOUSEMOTION:
                        client.pointerMoved(toPoints(event.motion.x, event.motion.y));
                        break;
                    case SDL_MOUSEBUTTONUP:
                        if (event.button.button == SDL_BUTTON_LEFT)
                            client.pointerUp(toPoints(event.button.x, event.button.y));
                        break;
                    case SDL_MOUSEWHEEL:
                        client.wheel(-event.wheel.y * 40.0);
                        break;
                    default:
                        break;
                    }
                });
            }
            if (Interruption::requested())
                break;
            client.beforeFrame();
            // Wait for what comes first: input, a source, due work or the next refresh while something
            // animates. A recording takes a picture every refresh.
            bool polling = display.descriptor < 0 || client.host().isRecording();
            double wait = polling ? 1000.0 / loop->refreshRate() : idleWaitMilliseconds;
            if (!changed && !eventsWaiting(display))
                loop->runOnce(wait);
            else
                loop->runOnce(0);
            // Drawing costs nothing where nothing changed.
            client.host().prepareScreen();
            const Region& drawn = layers.render(client.host().screenView());
            presenter.present(layers.bitmap(), drawn, layers.lastRepaint(), layers.lastScroll(),
                              layers.lastChangedCoverage());
            client.host().recordShownScreen();
        }
        if (display.descriptor >= 0)
            loop->removeReadSource(display.descriptor);
    }
    if (client.host().isRecording())
        toggleRecording(client, window, command);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return status;
}
