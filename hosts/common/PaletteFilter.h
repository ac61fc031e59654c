#pragma once

// Turns true-colour frames into 256-colour frames for ffmpeg's GIF encoder: each frame gets a
// palette made from its own pixels and is dithered onto it. Recordings now use GifVideoFile; this is
// the benchmark's baseline (bench/recording).

#include <memory>
#include <string>

struct AVFilterGraph;
struct AVFilterContext;
struct AVFrame;

class PaletteFilter {
public:
    // A filter for frames of this size in BGRA, at fps frames a second; nullptr with error set.
    static std::unique_ptr<PaletteFilter> create(int width, int height, int fps, std::string& error);
    ~PaletteFilter();

    // Gives a BGRA frame; false with error set on failure.
    bool push(const AVFrame& frame, std::string& error);
    // Takes the next palettized frame when one is ready (into `out`, which it replaces).
    bool pull(AVFrame* out);

private:
    PaletteFilter() = default;

    AVFilterGraph* m_graph = nullptr;
    AVFilterContext* m_source = nullptr;
    AVFilterContext* m_sink = nullptr;
};
