#include "hosts/springboard/Window.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UIScreen.h"

#include <SDL.h>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr const char* helpLine = "Drag an icon down to launch its app | click or any key: authenticate | "
                                 "L: lock | H: hint | Q or Esc: quit";
// A press that moves less than this many points is a tap, not a drag.
constexpr double dragThreshold = 6;

struct Pointer {
    int button = 0; // the app button pressed, 0 for none
    bool dragging = false;
    CGPoint start; // in points
    CGPoint last;
};

// The window's picture: the renderer's bitmap in a streaming texture, updated where it changed.
class Presenter {
public:
    Presenter(SDL_Renderer* renderer, int width, int height) : m_renderer(renderer) {
        m_texture =
            SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, width, height);
    }
    ~Presenter() {
        if (m_texture)
            SDL_DestroyTexture(m_texture);
    }
    bool valid() const { return m_texture != nullptr; }

    void present(const Bitmap& bitmap, const Region& damage) {
        if (damage.isEmpty() && m_presented)
            return;
        IntRect area = m_presented ? damage.bounds() : IntRect{0, 0, bitmap.width(), bitmap.height()};
        SDL_Rect rect{area.x, area.y, area.width, area.height};
        const uint8_t* pixels = bitmap.data() + static_cast<size_t>(area.y) * bitmap.stride() + area.x * 4;
        SDL_UpdateTexture(m_texture, &rect, pixels, bitmap.stride());
        SDL_RenderCopy(m_renderer, m_texture, nullptr, nullptr);
        SDL_RenderPresent(m_renderer);
        m_presented = true;
    }

private:
    SDL_Renderer* m_renderer;
    SDL_Texture* m_texture = nullptr;
    bool m_presented = false;
};

} // namespace

int runWindow(SpringBoard& host, ScriptRunner& runner, std::istream* script) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "zorvi springboard: no display for a window (%s); use --headless\n",
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
    SDL_Window* window =
        SDL_CreateWindow("Zorvi - L: lock, H: hint, Q: quit", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                         windowWidth, windowHeight, SDL_WINDOW_ALLOW_HIGHDPI);
    SDL_Renderer* renderer = window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED) : nullptr;
    if (window && !renderer)
        renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer) {
        std::fprintf(stderr, "zorvi springboard: cannot open a window: %s\n", SDL_GetError());
        if (window)
            SDL_DestroyWindow(window);
        SDL_Quit();
        return 1;
    }
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    std::printf("%s\n", helpLine);
    std::fflush(stdout);

    LayerRenderer& layers = host.renderer();
    int status = 0;
    {
        Presenter presenter(renderer, layers.bitmap().width(), layers.bitmap().height());
        if (!presenter.valid()) {
            std::fprintf(stderr, "zorvi springboard: cannot make the screen's texture: %s\n", SDL_GetError());
            status = 1;
        }
        if (script)
            runner.run(*script);
        host.layoutQuickActions();
        host.showNewHint();
        host.appear();

        RunLoop* loop = RunLoop::main();
        Pointer pointer;
        bool running = status == 0;
        uint64_t drawnRefresh = ~0ull;
        auto toPoints = [&](int x, int y) { return CGPointMake(x / fit, y / fit); };
        while (running) {
            SDL_Event event;
            while (SDL_PollEvent(&event)) {
                std::string error;
                switch (event.type) {
                case SDL_QUIT:
                    running = false;
                    break;
                case SDL_KEYDOWN: {
                    SDL_Keycode key = event.key.keysym.sym;
                    if (host.locked() && host.unlockRequested()) {
                        host.authenticate(key != SDLK_ESCAPE);
                    } else if (key == SDLK_q || key == SDLK_ESCAPE) {
                        running = false;
                    } else if (key == SDLK_l) {
                        host.lock();
                    } else if (key == SDLK_h) {
                        host.showNewHint();
                    }
                    break;
                }
                case SDL_MOUSEBUTTONDOWN:
                    if (host.locked() && host.unlockRequested()) {
                        host.authenticate(true);
                    } else if (host.locked()) {
                        pointer = Pointer{};
                        pointer.start = pointer.last = toPoints(event.button.x, event.button.y);
                        pointer.button = host.appButtonAt(pointer.start);
                    }
                    break;
                case SDL_MOUSEMOTION:
                    if (pointer.button) {
                        CGPoint now = toPoints(event.motion.x, event.motion.y);
                        if (!pointer.dragging &&
                            std::hypot(now.x - pointer.start.x, now.y - pointer.start.y) >= dragThreshold) {
                            pointer.dragging = true;
                            host.pan(pointer.button, PanPhase::Begin, {0, 0}, error);
                            host.pan(pointer.button, PanPhase::Move,
                                     {now.x - pointer.start.x, now.y - pointer.start.y}, error);
                        } else if (pointer.dragging) {
                            host.pan(pointer.button, PanPhase::Move,
                                     {now.x - pointer.last.x, now.y - pointer.last.y}, error);
                        }
                        pointer.last = now;
                    }
                    break;
                case SDL_MOUSEBUTTONUP:
                    if (pointer.button) {
                        if (pointer.dragging)
                            host.pan(pointer.button, PanPhase::End, {0, 0}, error);
                        else
                            host.tap(pointer.button, error);
                    }
                    pointer = Pointer{};
                    break;
                default:
                    break;
                }
            }
            host.updateOverlays();
            // Wait for the next refresh (or an event, whichever comes first).
            loop->runOnce(4);
            if (loop->refreshCount() != drawnRefresh) {
                drawnRefresh = loop->refreshCount();
                const Region& damage = layers.render(host.screenView());
                presenter.present(layers.bitmap(), damage);
            }
        }
    }
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return status;
}
