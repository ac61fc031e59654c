#include "hosts/common/PaletteFilter.h"
#include "hosts/common/VideoFormats.h"

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/frame.h>
}

std::unique_ptr<PaletteFilter> PaletteFilter::create(int width, int height, int fps, std::string& error) {
    std::unique_ptr<PaletteFilter> filter(new PaletteFilter);
    filter->m_graph = avfilter_graph_alloc();
    if (!filter->m_graph) {
        error = "out of memory";
        return nullptr;
    }
    // The graph runs on the caller's thread, so that its output never depends on timing.
    filter->m_graph->nb_threads = 1;
    std::string source = "video_size=" + std::to_string(width) + "x" + std::to_string(height) +
                         ":pix_fmt=bgra:time_base=1/" + std::to_string(fps) + ":pixel_aspect=1/1";
    int result = avfilter_graph_create_filter(&filter->m_source, avfilter_get_by_name("buffer"), "in",
                                              source.c_str(), nullptr, filter->m_graph);
    if (result >= 0)
        result = avfilter_graph_create_filter(&filter->m_sink, avfilter_get_by_name("buffersink"), "out",
                                              nullptr, nullptr, filter->m_graph);
    if (result < 0) {
        error = "cannot make the palette filter: " + describeVideoError(result);
        return nullptr;
    }
    AVFilterInOut* outputs = avfilter_inout_alloc();
    AVFilterInOut* inputs = avfilter_inout_alloc();
    outputs->name = av_strdup("in");
    outputs->filter_ctx = filter->m_source;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = filter->m_sink;
    // One palette per frame, and ordered dithering: a pixel that does not change keeps its dither.
    const char* description = "split[a][b];[a]palettegen=stats_mode=single:reserve_transparent=0[p];"
                              "[b][p]paletteuse=new=1:dither=bayer:bayer_scale=3,format=pal8";
    result = avfilter_graph_parse_ptr(filter->m_graph, description, &inputs, &outputs, nullptr);
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    if (result >= 0)
        result = avfilter_graph_config(filter->m_graph, nullptr);
    if (result < 0) {
        error = "cannot make the palette filter: " + describeVideoError(result);
        return nullptr;
    }
    return filter;
}

PaletteFilter::~PaletteFilter() {
    avfilter_graph_free(&m_graph);
}

bool PaletteFilter::push(const AVFrame& frame, std::string& error) {
    // The filter keeps its own copy: the caller's pixels may change right after.
    int result = av_buffersrc_write_frame(m_source, &frame);
    if (result < 0) {
        error = "palette filter: " + describeVideoError(result);
        return false;
    }
    return true;
}

bool PaletteFilter::pull(AVFrame* out) {
    av_frame_unref(out);
    return av_buffersink_get_frame(m_sink, out) >= 0;
}
