#include "hosts/common/ScriptedHost.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/UIScreen.h"

void ScriptedHost::tick(int refreshes) {
    RunLoop::main()->tick(refreshes);
}

void ScriptedHost::wait(double milliseconds) {
    RunLoop::main()->advance(milliseconds);
}

void ScriptedHost::pause(double milliseconds) {
    RunLoop::main()->runRealTime(milliseconds);
}

double ScriptedHost::nowMilliseconds() const {
    return RunLoop::main()->nowMilliseconds();
}

void ScriptedHost::makeRenderer() {
    UIScreen* screen = UIScreen::mainScreen();
    m_renderer =
        std::make_unique<LayerRenderer>(screen->pixelWidth(), screen->pixelHeight(), screen->scale());
}

size_t ScriptedHost::render() {
    prepareScreen();
    size_t pixels = 0;
    for (const IntRect& rect : m_renderer->render(screenView()).rects())
        pixels += static_cast<size_t>(rect.width) * static_cast<size_t>(rect.height);
    return pixels;
}

bool ScriptedHost::snapshot(const std::string& hostPath, std::string& error) {
    render();
    return m_renderer->writePNG(hostPath, &error);
}
