#include "hosts/common/FfmpegVideoFile.h"
#include "hosts/common/PaletteFilter.h"
#include "hosts/common/VideoFormats.h"
#include "hosts/common/YuvConverter.h"
#include "platform/graphics/Bitmap.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <cstring>

namespace {

int roundUpToEven(int value) {
    return value + (value & 1);
}

} // namespace

std::unique_ptr<VideoFile> FfmpegVideoFile::open(OutputFile output, const VideoFormat& format, int width,
                                                 int height, int fps, std::string& error) {
    std::unique_ptr<FfmpegVideoFile> file(new FfmpegVideoFile(std::move(output), format, width, height, fps));
    if (!file->openEncoder(error))
        return nullptr;
    return file;
}

FfmpegVideoFile::FfmpegVideoFile(OutputFile output, const VideoFormat& format, int width, int height, int fps)
    : m_output(std::move(output)), m_format(format), m_width(width), m_height(height), m_fps(fps) {}

FfmpegVideoFile::~FfmpegVideoFile() {
    if (m_container) {
        avio_closep(&m_container->pb);
        avformat_free_context(m_container);
    }
    avcodec_free_context(&m_codec);
    av_frame_free(&m_frame);
    av_frame_free(&m_filtered);
    av_packet_free(&m_packet);
    sws_freeContext(m_scaler);
}

bool FfmpegVideoFile::openEncoder(std::string& error) {
    av_log_set_level(AV_LOG_ERROR);
    int result = avformat_alloc_output_context2(&m_container, nullptr, m_format.muxer,
                                                m_output.temporaryPath().c_str());
    const AVCodec* encoder = avcodec_find_encoder_by_name(m_format.encoder);
    if (result < 0 || !encoder) {
        error = std::string("this system's ffmpeg cannot write ") + m_format.extension + " (no " +
                m_format.encoder + ")";
        return false;
    }
    m_codec = avcodec_alloc_context3(encoder);
    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
    if (!m_codec || !m_frame || !m_packet) {
        error = "out of memory";
        return false;
    }
    m_codec->width = m_format.evenSize ? roundUpToEven(m_width) : m_width;
    m_codec->height = m_format.evenSize ? roundUpToEven(m_height) : m_height;
    m_codec->pix_fmt = m_format.pixels;
    m_codec->time_base = AVRational{1, m_fps};
    m_codec->framerate = AVRational{m_fps, 1};
    m_codec->sample_aspect_ratio = AVRational{1, 1};
    // One thread: the same frames always give the same file, and the cost is one core's at most.
    m_codec->thread_count = 1;
    if (m_format.pixels == AV_PIX_FMT_YUV420P) {
        m_codec->color_range = AVCOL_RANGE_MPEG;
        m_codec->colorspace = AVCOL_SPC_BT709;
        m_codec->color_primaries = AVCOL_PRI_BT709;
        m_codec->color_trc = AVCOL_TRC_BT709;
    }
    if (std::strcmp(m_format.encoder, "libx264") == 0) {
        // A screen recording: mostly still, sharp edges; fast enough to keep up with the screen.
        av_opt_set(m_codec->priv_data, "preset", "ultrafast", 0);
        av_opt_set(m_codec->priv_data, "tune", "zerolatency", 0);
        // A constant quantizer: rate control by quality would make the encoder analyse every frame
        // at quarter size first. Adaptive quantization and frequent key frames (a whole screen's
        // worth of bits each) cost more than they give on a screen that mostly stands still.
        av_opt_set(m_codec->priv_data, "x264-params", "qp=20:aq-mode=0", 0);
        m_codec->gop_size = m_fps * 10;
    }
    if (m_container->oformat->flags & AVFMT_GLOBALHEADER)
        m_codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    result = avcodec_open2(m_codec, encoder, nullptr);
    if (result < 0) {
        error =
            std::string("cannot start the ") + m_format.encoder + " encoder: " + describeVideoError(result);
        return false;
    }
    m_stream = avformat_new_stream(m_container, nullptr);
    if (!m_stream) {
        error = "out of memory";
        return false;
    }
    avcodec_parameters_from_context(m_stream->codecpar, m_codec);
    m_stream->time_base = m_codec->time_base;
    m_stream->avg_frame_rate = m_codec->framerate;

    if (m_format.pixels == AV_PIX_FMT_PAL8) {
        m_palette = PaletteFilter::create(m_width, m_height, m_fps, error);
        m_filtered = av_frame_alloc();
        if (!m_palette || !m_filtered)
            return false;
    } else {
        bool yuv = m_codec->pix_fmt == AV_PIX_FMT_YUV420P;
        // 4:2:0 planes always have room for an even size (the converter writes whole row pairs).
        m_frame->format = m_codec->pix_fmt;
        m_frame->width = yuv ? roundUpToEven(m_width) : m_width;
        m_frame->height = yuv ? roundUpToEven(m_height) : m_height;
        if ((result = av_frame_get_buffer(m_frame, 0)) < 0) {
            error = "out of memory";
            return false;
        }
        m_frame->width = m_codec->width;
        m_frame->height = m_codec->height;
        if (yuv)
            m_yuv = std::make_unique<YuvConverter>(m_width, m_height);
        else
            m_scaler = sws_getContext(m_width, m_height, AV_PIX_FMT_BGRA, m_width, m_height, m_codec->pix_fmt,
                                      SWS_POINT, nullptr, nullptr, nullptr);
        if (!m_yuv && !m_scaler) {
            error = "cannot convert frames for the encoder";
            return false;
        }
    }
    result = avio_open(&m_container->pb, m_output.temporaryPath().c_str(), AVIO_FLAG_WRITE);
    if (result < 0) {
        error = describeVideoError(result);
        return false;
    }
    AVDictionary* options = nullptr;
    // Animated pictures repeat forever, as people expect of them.
    if (std::strcmp(m_format.muxer, "apng") == 0)
        av_dict_set(&options, "plays", "0", 0);
    if (std::strcmp(m_format.muxer, "mp4") == 0)
        av_dict_set(&options, "movflags", "+faststart", 0);
    // No time or encoder version in the file: the same frames make the same bytes.
    m_container->flags |= AVFMT_FLAG_BITEXACT;
    result = avformat_write_header(m_container, &options);
    av_dict_free(&options);
    if (result < 0) {
        error = "cannot start the file: " + describeVideoError(result);
        return false;
    }
    m_headerWritten = true;
    return true;
}

bool FfmpegVideoFile::convert(const Bitmap& frame, std::string& error) {
    int result = av_frame_make_writable(m_frame);
    if (result < 0) {
        error = "out of memory";
        return false;
    }
    if (m_yuv) {
        m_yuv->convert(frame, {m_frame->data[0], m_frame->data[1], m_frame->data[2], m_frame->linesize[0],
                               m_frame->linesize[1], m_frame->linesize[2]});
        return true;
    }
    const uint8_t* source[1] = {frame.data()};
    int sourceStride[1] = {frame.stride()};
    sws_scale(m_scaler, source, sourceStride, 0, m_height, m_frame->data, m_frame->linesize);
    return true;
}

bool FfmpegVideoFile::addFrame(const Bitmap& bitmap, std::string& error) {
    if (bitmap.width() != m_width || bitmap.height() != m_height) {
        error = "a frame of another size than the recording's";
        return false;
    }
    if (m_palette) {
        AVFrame* source = av_frame_alloc();
        source->format = AV_PIX_FMT_BGRA;
        source->width = m_width;
        source->height = m_height;
        source->data[0] = const_cast<uint8_t*>(bitmap.data());
        source->linesize[0] = bitmap.stride();
        source->pts = m_frames;
        source->sample_aspect_ratio = AVRational{1, 1};
        bool pushed = m_palette->push(*source, error);
        av_frame_free(&source);
        if (!pushed)
            return false;
        while (m_palette->pull(m_filtered)) {
            m_filtered->pts = m_frames;
            if (!encode(m_filtered, error))
                return false;
        }
    } else {
        if (!convert(bitmap, error))
            return false;
        m_frame->pts = m_frames;
        if (!encode(m_frame, error))
            return false;
    }
    ++m_frames;
    return true;
}

bool FfmpegVideoFile::encode(AVFrame* frame, std::string& error) {
    int result = avcodec_send_frame(m_codec, frame);
    if (result < 0) {
        error = "cannot encode: " + describeVideoError(result);
        return false;
    }
    for (;;) {
        result = avcodec_receive_packet(m_codec, m_packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return true;
        if (result < 0) {
            error = "cannot encode: " + describeVideoError(result);
            return false;
        }
        av_packet_rescale_ts(m_packet, m_codec->time_base, m_stream->time_base);
        m_packet->stream_index = m_stream->index;
        result = av_interleaved_write_frame(m_container, m_packet);
        if (result < 0) {
            error = "cannot write " + path() + ": " + describeVideoError(result);
            return false;
        }
    }
}

bool FfmpegVideoFile::finish(std::string& error) {
    if (!m_headerWritten) {
        error = "the recording was not started";
        return false;
    }
    if (m_frames == 0) {
        error = "no frames to write";
        return false;
    }
    if (!encode(nullptr, error))
        return false;
    int result = av_write_trailer(m_container);
    if (result >= 0)
        result = avio_closep(&m_container->pb);
    m_headerWritten = false;
    if (result < 0) {
        error = "cannot complete " + path() + ": " + describeVideoError(result);
        return false;
    }
    return m_output.commit(error);
}

int64_t FfmpegVideoFile::bytesWritten() const {
    return m_container && m_container->pb ? avio_tell(m_container->pb) : 0;
}

std::string describeVideoError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}
