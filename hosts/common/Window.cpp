#include "hosts/common/Window.h"
#include "hosts/common/DisplayConnection.h"
#include "hosts/common/Interruption.h"
#include "hosts/common/WindowCommands.h"
#include "hosts/common/WindowPresenter.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/CALayer.h"
#include "platform/ui/UIScreen.h"
#include "platform/ui/UIView.h"

#include <SDL.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

namespace {

// When nothing animates and nothing is due, the window sleeps until input, a source or a timer
// wakes it; this is only the longest single wait.
constexpr double idleWaitMilliseconds = 60 * 60 * 1000;
// How long SDL may go unasked for events while the loop runs.
constexpr int64_t pumpIntervalMilliseconds = 250;

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

    Ref<UIView> help; // the help overlay while it shows
    int status = 0;
    {
        WindowPresenter presenter(window);
        // The window draws the screen at its own pixels: a ninth of the work of drawing the device's
        // three pixels a point and reducing them. It draws them in the display's memory for the window
        // where it can, so that nothing is copied or moved a second time. The device's picture is drawn
        // when a snapshot or a recording asks for it.
        std::unique_ptr<LayerRenderer> windowScreen;
        bool drawsInPlace = false;
        auto shownScreen = [&]() -> LayerRenderer& {
            IntRect area = presenter.area();
            if (area.isEmpty())
                area = {0, 0, windowWidth, windowHeight};
            bool current = windowScreen && windowScreen->bitmap().width() == area.width &&
                           windowScreen->bitmap().height() == area.height &&
                           (!drawsInPlace || presenter.inPlace(windowScreen->bitmap()));
            if (!current) {
                double scale = area.width / pointWidth;
                std::optional<Bitmap> surface = presenter.surfaceBitmap();
                drawsInPlace = surface.has_value();
                windowScreen = surface ? std::make_unique<LayerRenderer>(std::move(*surface), scale,
                                                                         LayerRenderer::Mode::Incremental,
                                                                         LayerRenderer::Placement::Snapped)
                                       : std::make_unique<LayerRenderer>(area.width, area.height, scale,
                                                                         LayerRenderer::Mode::Incremental,
                                                                         LayerRenderer::Placement::Snapped);
                presenter.invalidate();
            }
            return *windowScreen;
        };
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
        // A line sent from outside that takes refreshes (a swipe) shows each one as it happens. Only
        // such a line asks for refreshes: otherwise a window where nothing moves would wake for
        // every one.
        auto shown = loop->addRefreshObserver(
            [&](int64_t) {
                if (!client.host().drivenFromOutside())
                    return;
                client.host().prepareScreen();
                LayerRenderer& layers = shownScreen();
                const Region& drawn = layers.render(client.host().screenView());
                presenter.present(layers.bitmap(), drawn, layers.lastRepaint(), layers.lastScroll(),
                                  layers.lastChangedCoverage());
            },
            [&] { return client.host().drivenFromOutside(); });
        // The waves move every other refresh. A refresh that changed the screen after one that did
        // not lets the loop sleep through the next: it runs, in its turn, just before the one after,
        // and the picture shown at each refresh is the same with a wake-up for every other refresh.
        // A refresh slept through that changes something ends the alternation, and the loop wakes
        // for each again.
        uint64_t changesSeen = CALayer::changesOfAllLayers();
        bool lastRefreshChanged = true;
        auto paced = loop->addRefreshObserver(
            [&](int64_t) {
                uint64_t changes = CALayer::changesOfAllLayers();
                bool changedNow = changes != changesSeen;
                changesSeen = changes;
                if (changedNow && !lastRefreshChanged && display.descriptor >= 0 &&
                    !client.host().isRecording() && !client.host().drivenFromOutside())
                    loop->sleepThroughNextRefresh();
                lastRefreshChanged = changedNow;
            },
            [] { return false; });
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
            LayerRenderer& layers = shownScreen();
            const Region& drawn = layers.render(client.host().screenView());
            presenter.present(layers.bitmap(), drawn, layers.lastRepaint(), layers.lastScroll(),
                              layers.lastChangedCoverage());
            client.host().recordShownScreen();
        }
        loop->removeObserver(shown);
        loop->removeObserver(paced);
        if (display.descriptor >= 0)
            loop->removeReadSource(display.descriptor);
    }
    if (client.host().isRecording())
        toggleRecording(client, window, command);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return status;
}
