#include "OverlayClip.h"

#include "ClipMedia.h"
#include "ClipOutputFile.h"
#include "ComposedViews.h"
#include "OverlayPainter.h"

#include "cameras/CameraGroups.h"
#include "cameras/SeiTelemetry.h"
#include "recordings/MovieHeader.h"
#include "recordings/TelemetryRoute.h"
#include "recordings/TelemetrySet.h"
#include "recordings/TelemetrySources.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <strings.h>
#include <utility>

namespace quello {

namespace {

struct Input {
    AVFormatContext* format = nullptr;
    AVCodecContext* decoder = nullptr;
    int video = -1;
    int audio = -1;
    ~Input() {
        avcodec_free_context(&decoder);
        avformat_close_input(&format);
    }
};

struct Output {
    AVFormatContext* format = nullptr;
    AVCodecContext* encoder = nullptr;
    AVStream* video = nullptr;
    AVStream* audio = nullptr;
    ~Output() {
        avcodec_free_context(&encoder);
        if (format) {
            if (format->pb)
                avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }
};

struct FrameOwner {
    AVFrame* frame = av_frame_alloc();
    ~FrameOwner() { av_frame_free(&frame); }
};

struct PacketQueue {
    std::deque<AVPacket*> packets;
    ~PacketQueue() { Clear(); }
    void Clear() {
        for (AVPacket* p : packets)
            av_packet_free(&p);
        packets.clear();
    }
};

// libswscale contexts by what they convert, made once and reused for every frame.
class Scalers {
public:
    ~Scalers() {
        for (auto& [key, ctx] : m_contexts)
            sws_freeContext(ctx);
    }
    SwsContext* Get(int srcW, int srcH, int srcFormat, bool srcFull, int dstW, int dstH,
                    int dstFormat, bool dstFull, int flags) {
        const auto key =
            std::make_tuple(srcW, srcH, srcFormat, srcFull, dstW, dstH, dstFormat, dstFull, flags);
        auto it = m_contexts.find(key);
        if (it != m_contexts.end())
            return it->second;
        SwsContext* ctx =
            sws_getContext(srcW, srcH, AVPixelFormat(srcFormat), dstW, dstH,
                           AVPixelFormat(dstFormat), flags, nullptr, nullptr, nullptr);
        if (ctx) {
            const int* table = sws_getCoefficients(SWS_CS_DEFAULT);
            sws_setColorspaceDetails(ctx, table, srcFull, table, dstFull, 0, 1 << 16, 1 << 16);
        }
        m_contexts.emplace(key, ctx);
        return ctx;
    }

private:
    std::map<std::tuple<int, int, int, bool, int, int, int, bool, int>, SwsContext*> m_contexts;
};

bool IsFullRange(const AVFrame* frame) {
    return frame->format == AV_PIX_FMT_YUVJ420P || frame->color_range == AVCOL_RANGE_JPEG;
}

std::int64_t FrameDuration(const AVFrame* frame) {
#if LIBAVUTIL_VERSION_INT >= AV_VERSION_INT(58, 2, 100)
    return frame->duration;
#else
    return frame->pkt_duration;
#endif
}

// What the overlay needs of one recording, read before anything is written.
struct PieceFacts {
    std::unique_ptr<TelemetrySet> telemetry = std::make_unique<TelemetrySet>();
    CarSignals car;
    std::optional<std::tm> created;
    double duration = 0;
};

} // namespace

OverlayClip::OverlayClip(std::vector<ClipPiece> pieces, std::string outputPath,
                         OverlayOptions options)
    : m_pieces(std::move(pieces)), m_outputPath(std::move(outputPath)),
      m_options(std::move(options)) {}

ClipReport OverlayClip::Write() {
    ClipReport report;
    auto fail = [&report](std::string why) {
        report.ok = false;
        report.error = std::move(why);
        return report;
    };
    if (!EndsWithNoCase(m_outputPath, ".mp4"))
        return fail("a clip with the overlay is an MP4 file: its name must end in .mp4: " +
                    m_outputPath);
    if (m_pieces.empty())
        return fail("the span meets no recording");
    for (const ClipPiece& piece : m_pieces) {
        if (!std::isfinite(piece.from) || !std::isfinite(piece.to) || piece.from < 0)
            return fail("the span must start at 0 s or later");
        if (piece.to <= piece.from)
            return fail("the span must end after it starts");
    }
    if (m_options.crf < 0 || m_options.crf > 51)
        return fail("the quality (CRF) must lie in 0..51");
    if (m_options.width < 0 || m_options.height < 0 || m_options.width % 2 != 0 ||
        m_options.height % 2 != 0 || (m_options.width == 0) != (m_options.height == 0))
        return fail("the picture's width and height must be even numbers of pixels");

    av_log_set_level(AV_LOG_QUIET);
    std::vector<PieceFacts> facts(m_pieces.size());
    std::vector<QPointF> route;
    double total = 0;
    for (std::size_t i = 0; i < m_pieces.size(); ++i) {
        const ClipPiece& piece = m_pieces[i];
        std::tm created{};
        std::uint32_t seconds = 0;
        int readOnly = 0;
        const std::string& movie = piece.telemetryMovie();
        ReadMovieHeader(movie, created, seconds, readOnly);
        if (created.tm_mday != 0)
            facts[i].created = created;
        facts[i].duration = seconds;
        if (LoadMovieTelemetry(movie, SavedGpsOptions(movie), *facts[i].telemetry).source ==
            TelemetrySource::Sei)
            facts[i].car = SeiTelemetry::LoadCarSignals(movie);
        for (const RoutePoint& point : RouteOf(*facts[i].telemetry))
            if (point.second >= std::floor(piece.from) && point.second <= std::ceil(piece.to))
                route.emplace_back(point.longitude, point.latitude);
        total += piece.to - piece.from;
    }

    ClipOutputFile file;
    std::string why;
    if (!file.Create(m_outputPath, why))
        return fail(why);

    Output output;
    std::unique_ptr<OverlayPainter> painter;
    Scalers scalers;
    FrameOwner decoded, picture;
    PacketOwner packet, encoded;
    if (!decoded.frame || !picture.frame || !packet.pkt || !encoded.pkt)
        return fail("out of memory");
    // The regions' RGB pictures in buffers with room to spare: libswscale's vector code may
    // write a little past the end of a line.
    std::vector<std::vector<uchar>> regionBuffers;
    std::vector<QImage> regionImages;
    bool fullRange = false;
    std::int64_t offset = 0; // the output's time of the current piece's first frame
    bool composed = false;   // every camera of the moment on the picture
    double done = 0;         // seconds of the span written before the current piece

    auto writeEncoded = [&]() -> int {
        for (;;) {
            int rc = avcodec_receive_packet(output.encoder, encoded.pkt);
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
                return 0;
            if (rc < 0)
                return rc;
            av_packet_rescale_ts(encoded.pkt, output.encoder->time_base, output.video->time_base);
            encoded.pkt->stream_index = output.video->index;
            rc = av_interleaved_write_frame(output.format, encoded.pkt);
            if (rc < 0)
                return rc;
        }
    };

    for (std::size_t index = 0; index < m_pieces.size(); ++index) {
        const ClipPiece& piece = m_pieces[index];
        Input input;
        int rc = avformat_open_input(&input.format, piece.moviePath.c_str(), nullptr, nullptr);
        if (rc < 0)
            return fail("cannot read " + piece.moviePath + ": " + AvError(rc));
        rc = avformat_find_stream_info(input.format, nullptr);
        if (rc < 0)
            return fail("cannot read " + piece.moviePath + ": " + AvError(rc));
        const AVCodec* decoderCodec = nullptr;
        input.video =
            av_find_best_stream(input.format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoderCodec, 0);
        if (input.video < 0 || !decoderCodec)
            return fail(piece.moviePath + " has no video track that can be decoded");
        input.audio =
            av_find_best_stream(input.format, AVMEDIA_TYPE_AUDIO, -1, input.video, nullptr, 0);
        AVStream* vs = input.format->streams[input.video];
        const AVRational vtb = vs->time_base;
        const double length = input.format->duration > 0
                                  ? double(input.format->duration) / AV_TIME_BASE
                                  : double(vs->duration) * av_q2d(vtb);
        if (piece.to > length) {
            char text[64];
            std::snprintf(text, sizeof text, "%.3f", length);
            return fail("the span ends after the movie's end (" + std::string(text) + " s)");
        }
        input.decoder = avcodec_alloc_context3(decoderCodec);
        if (!input.decoder || avcodec_parameters_to_context(input.decoder, vs->codecpar) < 0)
            return fail("cannot decode " + piece.moviePath);
        input.decoder->pkt_timebase = vtb;
        // x264 is the bottleneck and takes both cores; frame threads in the decoder would only
        // hold more 1080p pictures in memory (about 60 MB) for no gain in speed.
        input.decoder->thread_count = 2;
        input.decoder->thread_type = FF_THREAD_SLICE;
        rc = avcodec_open2(input.decoder, decoderCodec, nullptr);
        if (rc < 0)
            return fail("cannot decode " + piece.moviePath + ": " + AvError(rc));

        std::unique_ptr<ComposedViews> views;
        if (m_options.allCameras) {
            std::vector<std::string> movies{piece.moviePath};
            if (const auto group = CameraGroupOf(piece.moviePath))
                for (const CameraFile& camera : group->cameras)
                    if (camera.path != piece.moviePath)
                        movies.push_back(camera.path);
            // A recording of no other camera keeps its own picture, unless the clip's pictures
            // are composed already.
            composed = index > 0 ? composed : movies.size() > 1;
            if (composed) {
                views = std::make_unique<ComposedViews>();
                if (!views->Open(movies, input.decoder->width, input.decoder->height, piece.from,
                                 why))
                    return fail(why);
            }
        }

        if (!output.format) {
            const int shownWidth = views ? views->width() : input.decoder->width & ~1;
            const int shownHeight = views ? views->height() : input.decoder->height & ~1;
            const int width = m_options.width > 0 ? m_options.width : shownWidth;
            const int height = m_options.height > 0 ? m_options.height : shownHeight;
            if (width < 16 || height < 16)
                return fail("the picture is too small to encode");
            fullRange = m_options.width == 0 && (input.decoder->pix_fmt == AV_PIX_FMT_YUVJ420P ||
                                                 input.decoder->color_range == AVCOL_RANGE_JPEG);
            // The muxer opens the file again by this name to move its index to the front.
            rc = avformat_alloc_output_context2(&output.format, nullptr, "mp4",
                                                file.tempPath().c_str());
            if (rc < 0)
                return fail("cannot set up the clip: " + AvError(rc));
            const AVCodec* x264 = avcodec_find_encoder_by_name("libx264");
            if (!x264)
                return fail("this FFmpeg has no libx264 encoder");
            output.encoder = avcodec_alloc_context3(x264);
            if (!output.encoder)
                return fail("out of memory");
            AVCodecContext* enc = output.encoder;
            enc->width = width;
            enc->height = height;
            enc->pix_fmt = AV_PIX_FMT_YUV420P;
            enc->color_range = fullRange ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
            enc->time_base = vtb;
            enc->framerate = vs->avg_frame_rate;
            enc->sample_aspect_ratio = AVRational{1, 1};
            if (output.format->oformat->flags & AVFMT_GLOBALHEADER)
                enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
            av_opt_set(enc->priv_data, "preset", m_options.preset.c_str(), 0);
            av_opt_set_double(enc->priv_data, "crf", m_options.crf, 0);
            // x264's own choice on two cores (three frame threads, a 10-frame look-ahead) holds
            // some 350 MB at 1080p; two threads and half the look-ahead stay under 300 MB at
            // about 5 % of its speed and no visible loss.
            enc->thread_count = 2;
            av_opt_set(enc->priv_data, "x264-params", "rc-lookahead=5", 0);
            rc = avcodec_open2(enc, x264, nullptr);
            if (rc < 0)
                return fail("cannot set up the H.264 encoder (preset " + m_options.preset +
                            "): " + AvError(rc));
            output.video = avformat_new_stream(output.format, nullptr);
            if (!output.video || avcodec_parameters_from_context(output.video->codecpar, enc) < 0)
                return fail("cannot set up the clip's tracks");
            output.video->time_base = enc->time_base;
            output.video->avg_frame_rate = vs->avg_frame_rate;
            if (input.audio >= 0) {
                output.audio = avformat_new_stream(output.format, nullptr);
                AVStream* as = input.format->streams[input.audio];
                if (!output.audio ||
                    avcodec_parameters_copy(output.audio->codecpar, as->codecpar) < 0)
                    return fail("cannot set up the clip's tracks");
                output.audio->codecpar->codec_tag = 0;
                output.audio->time_base = as->time_base;
                av_dict_copy(&output.audio->metadata, as->metadata, 0);
                av_dict_set(&output.audio->metadata, "creation_time", nullptr, 0);
            }
            picture.frame->format = AV_PIX_FMT_YUV420P;
            picture.frame->width = width;
            picture.frame->height = height;
            picture.frame->color_range = enc->color_range;
            rc = av_frame_get_buffer(picture.frame, 0);
            if (rc < 0)
                return fail("out of memory");
            painter = std::make_unique<OverlayPainter>(QSize(width, height));
            painter->SetRoute(route);
        }
        // Sound of another kind than the first recording's can't join its track.
        AVStream* as = input.audio >= 0 ? input.format->streams[input.audio] : nullptr;
        const bool copyAudio = as && output.audio &&
                               as->codecpar->codec_id == output.audio->codecpar->codec_id &&
                               as->codecpar->sample_rate == output.audio->codecpar->sample_rate;
        painter->SetRecording(*facts[index].telemetry, facts[index].car, facts[index].created,
                              facts[index].duration > 0 ? facts[index].duration : length);
        regionImages.clear();
        regionBuffers.clear();
        for (const QRect& r : painter->regions()) {
            const int stride = (r.width() * 4 + 63) / 64 * 64 + 64;
            regionBuffers.emplace_back(std::size_t(stride) * std::size_t(r.height() + 2) + 64);
            regionImages.emplace_back(regionBuffers.back().data(), r.width(), r.height(), stride,
                                      QImage::Format_RGB32);
        }

        // Decimal seconds to the stream's ticks, rounding down: a time between two ticks lies
        // in the frame of the earlier one.
        const auto ticks = [vtb](double seconds) {
            return av_rescale_rnd(std::llround(seconds * 1e6), vtb.den,
                                  std::int64_t(vtb.num) * 1000000, AV_ROUND_DOWN);
        };
        const std::int64_t fromT = ticks(piece.from), toT = ticks(piece.to);
        const std::int64_t frameLength =
            vs->avg_frame_rate.num > 0 ? av_rescale_q(1, av_inv_q(vs->avg_frame_rate), vtb) : 1;
        const std::int64_t oneSecond = std::max<std::int64_t>(1, ticks(1));
        std::int64_t seekTarget = fromT;
        std::int64_t firstPts = AV_NOPTS_VALUE, lastEnd = AV_NOPTS_VALUE;
        std::int64_t previousFirst = AV_NOPTS_VALUE;
        PacketQueue audio;

        // Writes the queued sound up to `until` (video ticks of the piece; the rest waits).
        auto writeAudio = [&](std::int64_t until, bool dropRest) -> int {
            while (!audio.packets.empty()) {
                AVPacket* p = audio.packets.front();
                const std::int64_t startTicks = av_rescale_q(p->pts, as->time_base, vtb);
                if (startTicks >= until && !dropRest)
                    break;
                audio.packets.pop_front();
                std::unique_ptr<AVPacket, void (*)(AVPacket*)> owned(
                    p, [](AVPacket* q) { av_packet_free(&q); });
                if (startTicks < firstPts || startTicks >= until)
                    continue;
                const std::int64_t shift = av_rescale_q(firstPts, vtb, as->time_base);
                p->pts -= shift;
                p->dts = p->dts == AV_NOPTS_VALUE ? p->pts : p->dts - shift;
                av_packet_rescale_ts(p, as->time_base, output.audio->time_base);
                const std::int64_t base =
                    av_rescale_q(offset, output.encoder->time_base, output.audio->time_base);
                p->pts += base;
                p->dts += base;
                p->stream_index = output.audio->index;
                p->pos = -1;
                const int written = av_interleaved_write_frame(output.format, p);
                if (written < 0)
                    return written;
            }
            return 0;
        };

        // Paints the overlay on one kept frame and hands it to the encoder.
        auto encodeFrame = [&](AVFrame* frame, std::int64_t pts) -> int {
            int r = av_frame_make_writable(picture.frame);
            if (r < 0)
                return r;
            const int width = picture.frame->width, height = picture.frame->height;
            const bool full = IsFullRange(frame);
            if ((frame->format == AV_PIX_FMT_YUV420P || frame->format == AV_PIX_FMT_YUVJ420P) &&
                frame->width >= width && frame->height >= height && frame->width <= width + 1 &&
                frame->height <= height + 1 && full == fullRange) {
                const int h[3] = {height, height / 2, height / 2};
                const int w[3] = {width, width / 2, width / 2};
                for (int plane = 0; plane < 3; ++plane)
                    av_image_copy_plane(picture.frame->data[plane], picture.frame->linesize[plane],
                                        frame->data[plane], frame->linesize[plane], w[plane],
                                        h[plane]);
            } else {
                SwsContext* whole =
                    scalers.Get(frame->width, frame->height, frame->format, full, width, height,
                                AV_PIX_FMT_YUV420P, fullRange, SWS_BICUBIC);
                if (!whole)
                    return AVERROR(EINVAL);
                sws_scale(whole, frame->data, frame->linesize, 0, frame->height,
                          picture.frame->data, picture.frame->linesize);
            }
            const double seconds = double(frame->best_effort_timestamp) * av_q2d(vtb);
            const auto& regions = painter->regions();
            for (std::size_t i = 0; i < regions.size(); ++i) {
                const QRect& rect = regions[i];
                QImage& image = regionImages[i];
                uint8_t* yuv[4] = {};
                int yuvStride[4] = {};
                for (int plane = 0; plane < 3; ++plane) {
                    const int shift = plane == 0 ? 0 : 1;
                    yuv[plane] = picture.frame->data[plane] +
                                 (rect.y() >> shift) * picture.frame->linesize[plane] +
                                 (rect.x() >> shift);
                    yuvStride[plane] = picture.frame->linesize[plane];
                }
                uint8_t* rgb[4] = {image.bits(), nullptr, nullptr, nullptr};
                int rgbStride[4] = {int(image.bytesPerLine()), 0, 0, 0};
                SwsContext* toRgb =
                    scalers.Get(rect.width(), rect.height(), AV_PIX_FMT_YUV420P, fullRange,
                                rect.width(), rect.height(), AV_PIX_FMT_BGRA, true, SWS_POINT);
                SwsContext* toYuv =
                    scalers.Get(rect.width(), rect.height(), AV_PIX_FMT_BGR0, true, rect.width(),
                                rect.height(), AV_PIX_FMT_YUV420P, fullRange, SWS_POINT);
                if (!toRgb || !toYuv)
                    return AVERROR(EINVAL);
                sws_scale(toRgb, yuv, yuvStride, 0, rect.height(), rgb, rgbStride);
                painter->Compose(int(i), image, seconds);
                sws_scale(toYuv, rgb, rgbStride, 0, rect.height(), yuv, yuvStride);
            }
            picture.frame->pts = pts;
            r = avcodec_send_frame(output.encoder, picture.frame);
            return r < 0 ? r : writeEncoded();
        };

        bool videoDone = false;
        for (int attempt = 0;; ++attempt) {
            rc = av_seek_frame(input.format, input.video, seekTarget, AVSEEK_FLAG_BACKWARD);
            if (rc < 0)
                rc = av_seek_frame(input.format, input.video, seekTarget, 0);
            if (rc < 0)
                return fail("cannot seek in the movie: " + AvError(rc));
            avcodec_flush_buffers(input.decoder);
            audio.Clear();
            bool firstChecked = false, restart = false, audioDone = !copyAudio;
            bool draining = false;
            while (!restart && !(videoDone && audioDone)) {
                if (m_cancel && m_cancel->load())
                    return fail("cancelled");
                rc = draining ? AVERROR_EOF : av_read_frame(input.format, packet.pkt);
                if (rc < 0 && rc != AVERROR_EOF)
                    return fail("cannot read " + piece.moviePath + ": " + AvError(rc));
                const bool atEnd = rc == AVERROR_EOF;
                if (atEnd) {
                    audioDone = true;
                    if (videoDone)
                        break;
                    draining = true;
                    avcodec_send_packet(input.decoder, nullptr);
                } else if (packet.pkt->stream_index == input.audio && copyAudio) {
                    if (packet.pkt->pts != AV_NOPTS_VALUE) {
                        const std::int64_t at = av_rescale_q(packet.pkt->pts, as->time_base, vtb);
                        if (videoDone && at >= lastEnd)
                            audioDone = true;
                        else
                            audio.packets.push_back(av_packet_clone(packet.pkt));
                    }
                    av_packet_unref(packet.pkt);
                    if (videoDone) {
                        rc = writeAudio(lastEnd, false);
                        if (rc < 0)
                            return fail("cannot write " + m_outputPath + ": " + AvError(rc));
                    }
                    continue;
                } else if (packet.pkt->stream_index != input.video || videoDone) {
                    av_packet_unref(packet.pkt);
                    continue;
                } else {
                    rc = avcodec_send_packet(input.decoder, packet.pkt);
                    av_packet_unref(packet.pkt);
                    if (rc < 0 && rc != AVERROR(EAGAIN))
                        return fail("cannot decode " + piece.moviePath + ": " + AvError(rc));
                }
                while (!videoDone) {
                    rc = avcodec_receive_frame(input.decoder, decoded.frame);
                    if (rc == AVERROR(EAGAIN))
                        break;
                    if (rc == AVERROR_EOF) {
                        videoDone = true;
                        break;
                    }
                    if (rc < 0)
                        return fail("cannot decode " + piece.moviePath + ": " + AvError(rc));
                    const std::int64_t pts = decoded.frame->best_effort_timestamp;
                    const std::int64_t length = FrameDuration(decoded.frame) > 0
                                                    ? FrameDuration(decoded.frame)
                                                    : frameLength;
                    if (!firstChecked) {
                        firstChecked = true;
                        // The key frame found shows after the span's start (reordered frames,
                        // or an index keyed on decode times): look one key frame further back.
                        if (pts > fromT && pts != previousFirst && attempt < 12) {
                            previousFirst = pts;
                            seekTarget = std::min(seekTarget, pts) - oneSecond * (1 << attempt / 2);
                            restart = true;
                            av_frame_unref(decoded.frame);
                            break;
                        }
                    }
                    if (pts == AV_NOPTS_VALUE || pts + length <= fromT) {
                        av_frame_unref(decoded.frame);
                        continue;
                    }
                    if (pts > toT) {
                        videoDone = true;
                        av_frame_unref(decoded.frame);
                        break;
                    }
                    if (firstPts == AV_NOPTS_VALUE) {
                        firstPts = pts;
                        if (index == 0) {
                            report.start = double(pts) * av_q2d(vtb);
                            if (facts[0].created) {
                                std::tm created = *facts[0].created;
                                const std::int64_t base =
                                    std::int64_t(::timegm(&created)) * 1000000;
                                const std::int64_t shift =
                                    av_rescale_q(pts, vtb, AVRational{1, 1000000});
                                av_dict_set(&output.format->metadata, "creation_time",
                                            CreationTimeText(base + shift).c_str(), 0);
                            }
                            rc = avio_open(&output.format->pb, file.tempPath().c_str(),
                                           AVIO_FLAG_WRITE);
                            if (rc < 0)
                                return fail("cannot write " + m_outputPath + ": " + AvError(rc));
                            AVDictionary* options = nullptr;
                            av_dict_set(&options, "movflags", "+faststart", 0);
                            rc = avformat_write_header(output.format, &options);
                            av_dict_free(&options);
                            if (rc < 0)
                                return fail("cannot write " + m_outputPath + ": " + AvError(rc));
                        }
                    }
                    lastEnd = pts + length;
                    AVFrame* shown = views
                                         ? views->Compose(decoded.frame, double(pts) * av_q2d(vtb))
                                         : decoded.frame;
                    if (!shown)
                        return fail("out of memory");
                    rc = encodeFrame(shown, offset + av_rescale_q(pts - firstPts, vtb,
                                                                  output.encoder->time_base));
                    av_frame_unref(decoded.frame);
                    if (rc < 0)
                        return fail("cannot encode " + m_outputPath + ": " + AvError(rc));
                    ++report.frames;
                    if (copyAudio) {
                        rc = writeAudio(lastEnd, false);
                        if (rc < 0)
                            return fail("cannot write " + m_outputPath + ": " + AvError(rc));
                    }
                    if (m_progress && total > 0)
                        m_progress(std::clamp(
                            (done + double(lastEnd) * av_q2d(vtb) - piece.from) / total, 0.0, 1.0));
                }
                if (draining)
                    videoDone = true;
            }
            if (!restart)
                break;
        }
        if (firstPts == AV_NOPTS_VALUE)
            return fail("no video frame of " + piece.moviePath + " lies in the span");
        if (copyAudio) {
            rc = writeAudio(lastEnd, true);
            if (rc < 0)
                return fail("cannot write " + m_outputPath + ": " + AvError(rc));
        }
        offset += av_rescale_q(lastEnd - firstPts, vtb, output.encoder->time_base);
        done += piece.to - piece.from;
        report.end = double(lastEnd) * av_q2d(vtb);
        report.length += double(lastEnd - firstPts) * av_q2d(vtb);
    }

    int rc = avcodec_send_frame(output.encoder, nullptr);
    if (rc >= 0)
        rc = writeEncoded();
    if (rc >= 0)
        rc = av_write_trailer(output.format);
    if (rc >= 0)
        rc = avio_closep(&output.format->pb);
    if (rc < 0)
        return fail("cannot write " + m_outputPath + ": " + AvError(rc));
    if (m_cancel && m_cancel->load())
        return fail("cancelled");
    if (!file.Commit(why))
        return fail(why);
    if (m_progress)
        m_progress(1.0);
    report.ok = true;
    return report;
}

} // namespace quello
