#pragma once

// The window's connection to the display, as far as the run loop needs it: a descriptor to wait
// on, and a way to tell events already read from it.

struct SDL_Window;

// Descriptor -1 when the video driver has none to give (the window then looks for input at every
// refresh).
struct DisplayConnection {
    int descriptor = -1;
    void* x11 = nullptr; // the X library's Display
};

DisplayConnection displayConnection(SDL_Window* window);

// Events already read from the connection (into SDL's queue, or the X library's while the picture
// was sent) wake no wait on it: they are looked for, without reading, before sleeping.
bool eventsWaiting(const DisplayConnection& display);
