#include "ComposedViews.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <cstring>
#include <utility>

namespace quello {

namespace {

// A frame that starts this little after the main one's time still counts as shown with it:
// the cameras' time bases round the same instant differently.
constexpr double kSlack = 0.002;

double Start(const AVFrame* frame, AVRational timeBase) {
    return double(frame->best_effort_timestamp) * av_q2d(timeBase);
}

double Length(const AVFrame* frame, AVRational timeBase) {
#if LIBAVUTIL_VERSION_INT >= AV_VERSION_INT(58, 2, 100)
    const std::int64_t duration = frame->duration;
#else
    const std::int64_t duration = frame->pkt_duration;
#endif
    return duration > 0 ? double(duration) * av_q2d(timeBase) : 0.1;
}

bool IsFull(const AVFrame* frame) {
    return frame->format == AV_PIX_FMT_YUVJ420P || frame->color_range == AVCOL_RANGE_JPEG;
}

} // namespace

// One camera's decoder; the main camera's view has none, its frames come from the caller.
struct ComposedViews::View {
    AVFormatContext* format = nullptr;
    AVCodecContext* decoder = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* shown = nullptr; // the frame on the picture, when hasShown
    AVFrame* next = nullptr;  // the one after it, when nextReady
    SwsContext* scaler = nullptr;
    AVRational timeBase{1, 1};
    int stream = -1;
    bool hasShown = false, nextReady = false, draining = false, ended = false;

    ~View() {
        sws_freeContext(scaler);
        av_frame_free(&next);
        av_frame_free(&shown);
        av_packet_free(&packet);
        avcodec_free_context(&decoder);
        avformat_close_input(&format);
    }

    bool Open(const std::string& path, double from) {
        packet = av_packet_alloc();
        shown = av_frame_alloc();
        next = av_frame_alloc();
        if (!packet || !shown || !next ||
            avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0 ||
            avformat_find_stream_info(format, nullptr) < 0)
            return false;
        const AVCodec* codec = nullptr;
        stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
        if (stream < 0 || !codec)
            return false;
        const AVStream* st = format->streams[stream];
        timeBase = st->time_base;
        decoder = avcodec_alloc_context3(codec);
        if (!decoder || avcodec_parameters_to_context(decoder, st->codecpar) < 0)
            return false;
        decoder->pkt_timebase = timeBase;
        // The encoder is the bottleneck; each further camera's decoder stays on one thread.
        decoder->thread_count = 1;
        if (avcodec_open2(decoder, codec, nullptr) < 0)
            return false;
        // Without an index to seek by, decoding from the start reaches `from` all the same.
        av_seek_frame(format, stream, std::int64_t(from / av_q2d(timeBase)), AVSEEK_FLAG_BACKWARD);
        return decoder->width > 0 && decoder->height > 0;
    }

    // The next frame into `next`; false at the end of the file or on an error.
    bool DecodeNext() {
        for (;;) {
            const int rc = avcodec_receive_frame(decoder, next);
            if (rc == 0)
                return true;
            if (rc != AVERROR(EAGAIN) || draining)
                return false;
            if (av_read_frame(format, packet) < 0) {
                draining = true;
                avcodec_send_packet(decoder, nullptr);
                continue;
            }
            // A packet that does not decode costs its frame only.
            if (packet->stream_index == stream)
                avcodec_send_packet(decoder, packet);
            av_packet_unref(packet);
        }
    }

    // Moves on to the last frame that starts by `seconds`; false when none is shown then.
    bool ShowAt(double seconds) {
        while (!ended) {
            if (!nextReady && !(nextReady = DecodeNext()))
                ended = true;
            else if (Start(next, timeBase) > seconds + kSlack)
                break;
            else {
                std::swap(shown, next);
                av_frame_unref(next);
                hasShown = true;
                nextReady = false;
            }
        }
        return hasShown && !(ended && seconds >= Start(shown, timeBase) + Length(shown, timeBase));
    }
};

ComposedViews::ComposedViews() = default;

ComposedViews::~ComposedViews() {
    av_frame_free(&m_picture);
}

bool ComposedViews::Open(const std::vector<std::string>& movies, int mainWidth, int mainHeight,
                         double from, std::string& error) {
    std::vector<ViewSource> sources{{mainWidth, mainHeight}};
    m_views.push_back(std::make_unique<View>());
    for (std::size_t i = 1; i < movies.size(); ++i) {
        auto view = std::make_unique<View>();
        if (view->Open(movies[i], from)) {
            sources.push_back({view->decoder->width, view->decoder->height});
        } else {
            view->ended = true;
            sources.push_back({});
        }
        m_views.push_back(std::move(view));
    }
    m_layout = ViewLayout::Arrange(ViewArrangement::Grid, sources, 0, kMaxWidth);
    m_picture = av_frame_alloc();
    if (!m_picture) {
        error = "out of memory";
        return false;
    }
    m_picture->format = AV_PIX_FMT_YUV420P;
    m_picture->width = m_layout.width();
    m_picture->height = m_layout.height();
    if (av_frame_get_buffer(m_picture, 0) < 0) {
        error = "out of memory";
        return false;
    }
    return true;
}

AVFrame* ComposedViews::Compose(const AVFrame* main, double seconds) {
    if (!m_picture || av_frame_make_writable(m_picture) < 0)
        return nullptr;
    const bool full = IsFull(main);
    for (int plane = 0; plane < 3; ++plane) {
        const int rows = plane == 0 ? m_picture->height : (m_picture->height + 1) / 2;
        const int black = plane == 0 ? (full ? 0 : 16) : 128;
        std::memset(m_picture->data[plane], black,
                    std::size_t(m_picture->linesize[plane]) * std::size_t(rows));
    }
    for (std::size_t i = 0; i < m_views.size(); ++i) {
        View& view = *m_views[i];
        const AVFrame* frame = i == 0 ? main : view.ShowAt(seconds) ? view.shown : nullptr;
        const ViewRect& r = m_layout.pictures()[i];
        if (!frame || r.empty())
            continue;
        view.scaler = sws_getCachedContext(
            view.scaler, frame->width, frame->height, AVPixelFormat(frame->format), r.w, r.h,
            AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
        if (!view.scaler)
            return nullptr;
        const int* coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
        sws_setColorspaceDetails(view.scaler, coefficients, IsFull(frame), coefficients, full, 0,
                                 1 << 16, 1 << 16);
        // The layout keeps offsets even: the chroma planes' rectangles start on whole samples.
        uint8_t* target[4] = {m_picture->data[0] + r.y * m_picture->linesize[0] + r.x,
                              m_picture->data[1] + r.y / 2 * m_picture->linesize[1] + r.x / 2,
                              m_picture->data[2] + r.y / 2 * m_picture->linesize[2] + r.x / 2,
                              nullptr};
        sws_scale(view.scaler, frame->data, frame->linesize, 0, frame->height, target,
                  m_picture->linesize);
    }
    av_frame_copy_props(m_picture, main);
    m_picture->color_range = full ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
    return m_picture;
}

} // namespace quello
