#include "hosts/common/WindowCommands.h"
#include "platform/graphics/UIColor.h"
#include "platform/ui/TextImage.h"
#include "platform/ui/UIScreen.h"
#include "platform/ui/UIView.h"

#include <SDL.h>
#include <cstdio>
#include <ctime>
#include <string>

namespace {

std::string timeStamp() {
    char stamp[32];
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    return stamp;
}

} // namespace

std::string baseTitle(WindowClient& client) {
    return "Zorvi - " + client.helpLine() + " | R: record | S: screenshot | ?: help";
}

void takeScreenshot(WindowClient& client, SDL_Window* window, const char* command) {
    std::string path = std::string("zorvi-") + command + "-" + timeStamp() + ".png", error;
    std::string message = client.host().snapshot(path, error) ? "screenshot saved to " + path
                                                              : "cannot save a screenshot: " + error;
    SDL_SetWindowTitle(window, (message + " | " + baseTitle(client)).c_str());
    std::printf("%s\n", message.c_str());
    std::fflush(stdout);
}

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
