#pragma once

// Reads a recording back with ffmpeg's libraries, as a player would: every frame decoded to RGB.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}
#include <webp/demux.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

struct DecodedVideo {
    std::string error; // empty when the file decoded
    std::string container;
    std::string codec;
    int width = 0;
    int height = 0;
    std::vector<std::vector<uint8_t>> frames; // RGB24, width * 3 bytes a row

    // The red, green and blue of a pixel of a frame.
    std::vector<int> rgb(size_t frame, int x, int y) const {
        const uint8_t* p = frames.at(frame).data() + (static_cast<size_t>(y) * width + x) * 3;
        return {p[0], p[1], p[2]};
    }
    // How many pixels of the rectangle differ by more than `tolerance` in some channel between frames.
    size_t changedPixels(size_t a, size_t b, int x0, int y0, int x1, int y1, int tolerance = 24) const {
        size_t changed = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                auto p = rgb(a, x, y), q = rgb(b, x, y);
                for (int c = 0; c < 3; ++c)
                    if (std::abs(p[c] - q[c]) > tolerance) {
                        ++changed;
                        break;
                    }
            }
        return changed;
    }
};

// ffmpeg decodes only still WebP pictures; an animation is read with libwebp's own demuxer.
inline DecodedVideo readAnimatedWebP(const std::string& path) {
    DecodedVideo video;
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    WebPData data{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
    WebPAnimDecoderOptions options;
    WebPAnimDecoderOptionsInit(&options);
    options.color_mode = MODE_RGBA;
    options.use_threads = 0;
    WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
    WebPAnimInfo info;
    if (!decoder || !WebPAnimDecoderGetInfo(decoder, &info)) {
        video.error = "cannot decode " + path;
        WebPAnimDecoderDelete(decoder);
        return video;
    }
    video.container = "webp";
    video.codec = "webp";
    video.width = static_cast<int>(info.canvas_width);
    video.height = static_cast<int>(info.canvas_height);
    while (WebPAnimDecoderHasMoreFrames(decoder)) {
        uint8_t* rgba = nullptr;
        int timestamp = 0;
        if (!WebPAnimDecoderGetNext(decoder, &rgba, &timestamp)) {
            video.error = "a broken frame in " + path;
            break;
        }
        std::vector<uint8_t> rgb(static_cast<size_t>(video.width) * video.height * 3);
        for (size_t i = 0, n = rgb.size() / 3; i < n; ++i)
            std::copy_n(rgba + i * 4, 3, rgb.data() + i * 3);
        video.frames.push_back(std::move(rgb));
    }
    WebPAnimDecoderDelete(decoder);
    return video;
}

inline DecodedVideo readVideo(const std::string& path) {
    if (path.size() > 5 && path.compare(path.size() - 5, 5, ".webp") == 0)
        return readAnimatedWebP(path);
    DecodedVideo video;
    AVFormatContext* input = nullptr;
    if (avformat_open_input(&input, path.c_str(), nullptr, nullptr) < 0) {
        video.error = "cannot open " + path;
        return video;
    }
    AVCodecContext* decoder = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    SwsContext* scaler = nullptr;
    int stream = -1;
    auto takeFrames = [&] {
        while (avcodec_receive_frame(decoder, frame) >= 0) {
            video.width = frame->width;
            video.height = frame->height;
            scaler = sws_getCachedContext(
                scaler, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), frame->width,
                frame->height, AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr, nullptr);
            // The scaler may write past a row's end: it gets aligned, padded rows, copied out after.
            int stride = (frame->width * 3 + 63) & ~63;
            std::vector<uint8_t> padded(static_cast<size_t>(stride) * (frame->height + 1));
            uint8_t* planes[1] = {padded.data()};
            int strides[1] = {stride};
            sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
            std::vector<uint8_t> rgb(static_cast<size_t>(frame->width) * frame->height * 3);
            for (int y = 0; y < frame->height; ++y)
                std::copy_n(padded.data() + static_cast<size_t>(y) * stride, frame->width * 3,
                            rgb.data() + static_cast<size_t>(y) * frame->width * 3);
            video.frames.push_back(std::move(rgb));
        }
    };
    if (avformat_find_stream_info(input, nullptr) < 0 ||
        (stream = av_find_best_stream(input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0)) < 0) {
        video.error = "no video in " + path;
    } else {
        video.container = input->iformat->name;
        const AVCodec* codec = avcodec_find_decoder(input->streams[stream]->codecpar->codec_id);
        video.codec = codec ? codec->name : "";
        decoder = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(decoder, input->streams[stream]->codecpar);
        decoder->thread_count = 1;
        if (!codec || avcodec_open2(decoder, codec, nullptr) < 0) {
            video.error = "cannot decode " + path;
        } else {
            while (av_read_frame(input, packet) >= 0) {
                if (packet->stream_index == stream && avcodec_send_packet(decoder, packet) >= 0)
                    takeFrames();
                av_packet_unref(packet);
            }
            avcodec_send_packet(decoder, nullptr);
            takeFrames();
        }
    }
    sws_freeContext(scaler);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&input);
    return video;
}
