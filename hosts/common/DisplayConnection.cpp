#include "hosts/common/DisplayConnection.h"

#include <SDL.h>
#include <SDL_syswm.h>

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

bool eventsWaiting(const DisplayConnection& display) {
    if (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0)
        return true;
#if defined(SDL_VIDEO_DRIVER_X11)
    if (display.x11 && QLength(static_cast<Display*>(display.x11)) > 0)
        return true;
#endif
    return false;
}
