#pragma once

// Reads a recording back one frame at a time with ffmpeg's libraries, as a player would, so that
// the benchmark can compare what a GIF shows with the frames it was made from without holding ten
// seconds of full-screen frames.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Calls `take` with each frame's index and its pixels as 0xRRGGBB words, rows of `width`; false if
// the file does not decode.
inline bool readFrames(const std::string& path,
                       const std::function<void(int64_t, const std::vector<uint32_t>&, int width)>& take) {
    AVFormatContext* input = nullptr;
    if (avformat_open_input(&input, path.c_str(), nullptr, nullptr) < 0)
        return false;
    bool ok = avformat_find_stream_info(input, nullptr) >= 0;
    int stream = ok ? av_find_best_stream(input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0) : -1;
    const AVCodec* codec =
        stream >= 0 ? avcodec_find_decoder(input->streams[stream]->codecpar->codec_id) : nullptr;
    AVCodecContext* decoder = codec ? avcodec_alloc_context3(codec) : nullptr;
    ok = decoder && avcodec_parameters_to_context(decoder, input->streams[stream]->codecpar) >= 0 &&
         avcodec_open2(decoder, codec, nullptr) >= 0;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    SwsContext* scaler = nullptr;
    std::vector<uint32_t> pixels;
    int64_t index = 0;
    auto drain = [&] {
        while (avcodec_receive_frame(decoder, frame) >= 0) {
            scaler = sws_getCachedContext(
                scaler, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), frame->width,
                frame->height, AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
            pixels.assign(static_cast<size_t>(frame->width) * (frame->height + 1), 0);
            uint8_t* planes[1] = {reinterpret_cast<uint8_t*>(pixels.data())};
            int strides[1] = {frame->width * 4};
            sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
            pixels.resize(static_cast<size_t>(frame->width) * frame->height);
            for (uint32_t& p : pixels)
                p &= 0xffffff;
            take(index++, pixels, frame->width);
        }
    };
    while (ok && av_read_frame(input, packet) >= 0) {
        if (packet->stream_index == stream && avcodec_send_packet(decoder, packet) >= 0)
            drain();
        av_packet_unref(packet);
    }
    if (ok) {
        avcodec_send_packet(decoder, nullptr);
        drain();
    }
    sws_freeContext(scaler);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&input);
    return ok && index > 0;
}
