#include "hosts/springboard/Window.h"
#include "hosts/springboard/TextImage.h"
#include "platform/foundation/NSString.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/ApplicationIcons.h"
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

// What the screen shows besides the lock screen: the authentication prompt and a launched app.
class Overlays {
public:
    explicit Overlays(SpringBoard& host) : m_host(host) {}

    void update() {
        bool wantPrompt = m_host.locked() && m_host.unlockRequested();
        if (wantPrompt && !m_prompt)
            m_prompt = makePrompt();
        if (!wantPrompt && m_prompt) {
            m_prompt->removeFromSuperview();
            m_prompt = nullptr;
        }
        const std::string& app = m_host.locked() ? std::string() : m_host.foregroundApp();
        if (app != m_shownApp) {
            if (m_app)
                m_app->removeFromSuperview();
            m_app = app.empty() ? nullptr : makeAppScreen(app);
            m_shownApp = app;
        }
    }

private:
    Ref<UIView> label(const std::string& text, const std::string& font, double centreY) {
        UIView* screen = m_host.screenView();
        double scale = UIScreen::mainScreen()->scale();
        Ref<CGImage> image = textImage(text, font, scale);
        if (!image)
            return nullptr;
        double width = image->width() / scale, height = image->height() / scale;
        Ref<UIView> view = makeViewWithFrame<UIView>(
            CGRectMake((screen->bounds().size.width - width) / 2, centreY - height / 2, width, height));
        view->layer()->setContents(image);
        return view;
    }

    Ref<UIView> makePrompt() {
        UIView* screen = m_host.screenView();
        Ref<UIView> prompt = makeViewWithFrame<UIView>(screen->bounds());
        prompt->setBackgroundColor(UIColor::colorWithRed(0, 0, 0, 0.6));
        double middle = screen->bounds().size.height / 2;
        if (auto title = label("Enter Passcode", "DejaVu Sans 22px", middle - 30))
            prompt->addSubview(title);
        if (auto hint = label("Click or press any key to authenticate", "DejaVu Sans 14px", middle + 10))
            prompt->addSubview(hint);
        screen->addSubview(prompt);
        return prompt;
    }

    Ref<UIView> makeAppScreen(const std::string& bundle) {
        UIView* screen = m_host.screenView();
        Ref<UIView> app = makeViewWithFrame<UIView>(screen->bounds());
        app->setBackgroundColor(UIColor::colorWithRed(0.95, 0.95, 0.97, 1));
        auto identifier = NSString::stringWithUTF8String(bundle);
        auto installed = installedApp(identifier);
        double middle = screen->bounds().size.height / 2;
        if (Ref<UIImage> icon = applicationIconImage(identifier, 2, 2.0)) {
            Ref<UIView> iconView = makeViewWithFrame<UIView>(
                CGRectMake(screen->bounds().size.width / 2 - 60, middle - 150, 120, 120));
            iconView->layer()->setContents(icon->cgImage());
            app->addSubview(iconView);
        }
        if (auto name = label(installed ? installed->name : bundle, "DejaVu Sans Bold 28px", middle + 10)) {
            name->layer()->setOpacity(1);
            app->addSubview(name);
            name->setBackgroundColor(UIColor::colorWithRed(0.2, 0.2, 0.25, 1));
        }
        if (auto hint = label("Press L to lock", "DejaVu Sans 14px", middle + 60)) {
            hint->setBackgroundColor(UIColor::colorWithRed(0.2, 0.2, 0.25, 1));
            app->addSubview(hint);
        }
        screen->addSubview(app);
        return app;
    }

    SpringBoard& m_host;
    Ref<UIView> m_prompt;
    Ref<UIView> m_app;
    std::string m_shownApp;
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
        Overlays overlays(host);
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
            overlays.update();
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
