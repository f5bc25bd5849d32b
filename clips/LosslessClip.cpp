#include "LosslessClip.h"

#include "ClipMedia.h"
#include "ClipOutputFile.h"
#include "EditListPatch.h"
#include "TelemetrySlice.h"

#include "outputs/TelemetryGpxWriter.h"
#include "recordings/MovieHeader.h"
#include "recordings/TelemetryParser.h"
#include "recordings/TelemetrySet.h"
#include "recordings/TelemetrySources.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <future>
#include <memory>
#include <sstream>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quello {

namespace {

struct InputOwner {
    AVFormatContext* ctx = nullptr;
    ~InputOwner() { avformat_close_input(&ctx); }
};

struct OutputOwner {
    AVFormatContext* ctx = nullptr;
    ~OutputOwner() {
        if (ctx) {
            if (ctx->pb)
                avio_closep(&ctx->pb);
            avformat_free_context(ctx);
        }
    }
};

// The video frame whose presentation interval contains a time, in the video stream's units.
struct FrameAt {
    bool found = false;
    std::int64_t seekTarget = 0;    // a backward seek to this reaches the frame's key frame
    std::int64_t pts = 0;           // the frame's presentation time
    std::int64_t end = 0;           // the end of its presentation interval
    std::int64_t lastNeededDts = 0; // the last packet, in decode order, that shows at or before it
    std::string error;
};

// Seeks to the key frame at or before `target` and reads the video packets up to the first
// that decodes after it: every frame shown at or before `target` has been seen by then, since
// a frame's decode time never follows its presentation time. A key frame whose own picture
// comes later (reordered frames) sends the search one key frame back.
FrameAt FindFrame(AVFormatContext* ctx, int video, std::int64_t target, std::int64_t frameLength,
                  AVPacket* pkt) {
    FrameAt at;
    std::int64_t seekTo = target;
    std::int64_t previousKey = AV_NOPTS_VALUE;
    std::int64_t earliestPts = AV_NOPTS_VALUE, earliestEnd = 0;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const int rc = av_seek_frame(ctx, video, seekTo, AVSEEK_FLAG_BACKWARD);
        if (rc < 0) {
            at.error = "cannot seek in the movie: " + AvError(rc);
            return at;
        }
        std::int64_t key = AV_NOPTS_VALUE;
        while (av_read_frame(ctx, pkt) >= 0) {
            if (pkt->stream_index != video || pkt->pts == AV_NOPTS_VALUE) {
                av_packet_unref(pkt);
                continue;
            }
            const std::int64_t dts = pkt->dts == AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
            if (key == AV_NOPTS_VALUE)
                key = dts;
            if (dts > target) {
                av_packet_unref(pkt);
                break;
            }
            const std::int64_t end = pkt->pts + (pkt->duration > 0 ? pkt->duration : frameLength);
            if (pkt->pts <= target) {
                at.lastNeededDts = dts;
                if (!at.found || pkt->pts > at.pts) {
                    at.found = true;
                    at.pts = pkt->pts;
                    at.end = end;
                }
            }
            if (earliestPts == AV_NOPTS_VALUE || pkt->pts < earliestPts) {
                earliestPts = pkt->pts;
                earliestEnd = end;
            }
            av_packet_unref(pkt);
        }
        if (at.found) {
            at.seekTarget = seekTo;
            return at;
        }
        if (key == AV_NOPTS_VALUE || key == previousKey)
            break;
        previousKey = key;
        seekTo = key - 1;
    }
    // Before the first frame: the first frame is the one shown there.
    if (earliestPts != AV_NOPTS_VALUE && target < earliestPts) {
        at.found = true;
        at.seekTarget = earliestPts;
        at.pts = earliestPts;
        at.end = earliestEnd;
        at.lastNeededDts = earliestPts;
        return at;
    }
    at.error = "no video frame found at that time";
    return at;
}

std::string Name(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// One piece's recording, opened, with the frames that bound its share of the clip.
struct Source {
    ClipPiece piece;
    InputOwner input;
    int video = -1;
    std::vector<int> streams; // the tracks copied, in the file's order: the video and sound
    AVRational vtb{1, 1};
    FrameAt first, last;
    std::int64_t shown = 0; // the video time it contributes, in its ticks: last.end - first.pts
};

std::string Opened(Source& source) {
    const std::string& path = source.piece.moviePath;
    int rc = avformat_open_input(&source.input.ctx, path.c_str(), nullptr, nullptr);
    if (rc < 0)
        return "cannot read " + path + ": " + AvError(rc);
    rc = avformat_find_stream_info(source.input.ctx, nullptr);
    if (rc < 0)
        return "cannot read " + path + ": " + AvError(rc);
    AVFormatContext* ctx = source.input.ctx;
    source.video = av_find_best_stream(ctx, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (source.video < 0)
        return path + " has no video track";
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        const AVStream* st = ctx->streams[i];
        // A camera's other tracks (time code, embedded data) have no meaning cut apart.
        if ((int(i) == source.video || st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) &&
            !(st->disposition & AV_DISPOSITION_ATTACHED_PIC))
            source.streams.push_back(int(i));
    }
    return {};
}

std::string CodecName(const AVCodecParameters* p) {
    return avcodec_get_name(p->codec_id);
}

// The first difference between two recordings' tracks that stops a join without re-encoding,
// as "<b>'s video is X, <a>'s Y"; empty when they match.
std::string Mismatch(const Source& a, const Source& b) {
    const std::string nameA = Name(a.piece.moviePath), nameB = Name(b.piece.moviePath);
    const auto differ = [&](const std::string& what, const std::string& inB,
                            const std::string& inA) {
        return nameB + "'s " + what + " " + inB + ", " + nameA + "'s " + inA;
    };
    const auto count = [](const Source& s, AVMediaType type) {
        int n = 0;
        for (const int i : s.streams)
            n += s.input.ctx->streams[i]->codecpar->codec_type == type;
        return n;
    };
    if (count(a, AVMEDIA_TYPE_AUDIO) != count(b, AVMEDIA_TYPE_AUDIO))
        return differ("sound tracks are", std::to_string(count(b, AVMEDIA_TYPE_AUDIO)),
                      std::to_string(count(a, AVMEDIA_TYPE_AUDIO)));
    for (std::size_t t = 0; t < a.streams.size(); ++t) {
        const AVCodecParameters* p = a.input.ctx->streams[a.streams[t]]->codecpar;
        const AVCodecParameters* q = b.input.ctx->streams[b.streams[t]]->codecpar;
        if (p->codec_type != q->codec_type)
            return nameB + "'s tracks are in another order than " + nameA + "'s";
        const bool video = p->codec_type == AVMEDIA_TYPE_VIDEO;
        const std::string track = video ? "video" : "sound";
        if (p->codec_id != q->codec_id)
            return differ(track + " is", CodecName(q), CodecName(p));
        if (video) {
            if (p->width != q->width || p->height != q->height)
                return differ("video is",
                              std::to_string(q->width) + "x" + std::to_string(q->height),
                              std::to_string(p->width) + "x" + std::to_string(p->height));
            if (p->format != q->format) {
                const char* f = av_get_pix_fmt_name(AVPixelFormat(p->format));
                const char* g = av_get_pix_fmt_name(AVPixelFormat(q->format));
                return differ("pixel format is", g ? g : "unknown", f ? f : "unknown");
            }
            if (p->profile != q->profile) {
                const char* f = avcodec_profile_name(p->codec_id, p->profile);
                const char* g = avcodec_profile_name(q->codec_id, q->profile);
                return differ("video profile is", g ? g : std::to_string(q->profile),
                              f ? f : std::to_string(p->profile));
            }
            if (p->level != q->level)
                return differ("video level is", std::to_string(q->level), std::to_string(p->level));
        } else {
            if (p->sample_rate != q->sample_rate)
                return differ("sound is", std::to_string(q->sample_rate) + " Hz",
                              std::to_string(p->sample_rate) + " Hz");
            if (p->ch_layout.nb_channels != q->ch_layout.nb_channels)
                return differ("sound has", std::to_string(q->ch_layout.nb_channels) + " channels",
                              std::to_string(p->ch_layout.nb_channels));
        }
        if (p->extradata_size != q->extradata_size ||
            (p->extradata_size > 0 &&
             std::memcmp(p->extradata, q->extradata, std::size_t(p->extradata_size)) != 0))
            return nameB + "'s " + track + " has other decoder set-up data (" +
                   (video ? "SPS/PPS" : "codec configuration") + ") than " + nameA + "'s";
    }
    return {};
}

// Which piece and which second or tenth of its recording each sample and fix slot of the clip
// shows: the middle of the slot's clip time, placed in the piece it falls in. The first
// piece's slots keep the single-recording alignment, floor(10 * start) + j.
struct TelemetryPlan {
    struct Slot {
        std::size_t piece;
        int index;
    };
    std::vector<Slot> samples, fixes;
};

TelemetryPlan PlanTelemetry(const std::vector<double>& starts, const std::vector<double>& offsets,
                            double length) {
    constexpr double kTiny = 1e-9;
    const auto pieceAt = [&](double t) {
        std::size_t k = 0;
        while (k + 1 < offsets.size() && offsets[k + 1] <= t)
            ++k;
        return k;
    };
    TelemetryPlan plan;
    const double s0 = starts.front();
    const auto fill = [&](std::vector<TelemetryPlan::Slot>& slots, double perSecond) {
        const int firstIndex = int(std::floor(s0 * perSecond + kTiny));
        const int count = int(std::ceil((s0 + length) * perSecond - kTiny)) - firstIndex;
        for (int j = 0; j < count; ++j) {
            const double middle = (j + 0.5) / perSecond;
            const std::size_t k = pieceAt(middle);
            slots.push_back(
                {k, k == 0
                        ? firstIndex + j
                        : int(std::floor((starts[k] + middle - offsets[k]) * perSecond + kTiny))});
        }
    };
    fill(plan.samples, 10);
    fill(plan.fixes, 1);
    return plan;
}

bool SameFix(const GpsFix& a, const GpsFix& b) {
    return std::memcmp(a.dateTime, b.dateTime, sizeof a.dateTime) == 0 &&
           std::memcmp(a.latitude, b.latitude, sizeof a.latitude) == 0 &&
           std::memcmp(a.longitude, b.longitude, sizeof a.longitude) == 0 && a.speed == b.speed &&
           a.heading == b.heading;
}

// Reads the written telemetry back with the player's parser: it must show, at every sample and
// fix of the clip, what the planned original shows.
bool SliceReadsBack(const std::vector<std::string>& originals, const std::string& slice,
                    const TelemetryPlan& plan) {
    std::vector<std::unique_ptr<TelemetrySet>> from;
    for (const std::string& path : originals) {
        from.push_back(std::make_unique<TelemetrySet>());
        if (!ParseTelemetryFile(path, *from.back()))
            return false;
    }
    auto clip = std::make_unique<TelemetrySet>();
    if (!ParseTelemetryFile(slice, *clip) || clip->sampleCount != int(plan.samples.size()))
        return false;
    for (int i = 0; i < clip->sampleCount; ++i) {
        const auto [k, index] = plan.samples[std::size_t(i)];
        const GSensorSample& a = clip->samples[i];
        const GSensorSample& b = from[k]->samples[index];
        if (a.x != b.x || a.y != b.y || a.z != b.z)
            return false;
    }
    const GpsFix none{};
    for (int j = 0; j < clip->fixCount; ++j) {
        if (std::size_t(j) >= plan.fixes.size())
            return false;
        const auto [k, index] = plan.fixes[std::size_t(j)];
        if (!SameFix(clip->fixes[j], index < from[k]->fixCount ? from[k]->fixes[index] : none))
            return false;
    }
    return true;
}

// The clip's .DAT text: the planned samples up to the first one a file lacks (a later one
// would take its place), the planned fixes (a missing one is a second without a fix).
bool DatText(const std::vector<std::string>& originals, TelemetryPlan& plan, std::string& text) {
    std::vector<TelemetrySlice> files(originals.size());
    for (std::size_t k = 0; k < originals.size(); ++k)
        if (!files[k].Load(originals[k]))
            return false;
    std::vector<const std::string*> samples, fixes;
    for (const auto& [k, index] : plan.samples) {
        if (index < 0 || index >= files[k].sampleCount())
            break;
        samples.push_back(&files[k].sample(index));
    }
    plan.samples.resize(samples.size());
    for (const auto& [k, index] : plan.fixes)
        fixes.push_back(index >= 0 && index < files[k].fixCount() ? files[k].fix(index) : nullptr);
    text = TelemetrySlice::Compose(samples, fixes);
    return true;
}

} // namespace

LosslessClip::LosslessClip(std::vector<ClipPiece> pieces, std::string outputPath)
    : m_pieces(std::move(pieces)), m_outputPath(std::move(outputPath)) {}

ClipReport LosslessClip::Write() {
    ClipReport report;
    auto fail = [&report](std::string why) {
        report.ok = false;
        report.error = std::move(why);
        return report;
    };
    const bool mp4 = EndsWithNoCase(m_outputPath, ".mp4");
    if (!mp4 && !EndsWithNoCase(m_outputPath, ".mov"))
        return fail("the clip's name must end in .mov or .mp4: " + m_outputPath);
    if (m_pieces.empty())
        return fail("the clip has no span");
    for (const ClipPiece& piece : m_pieces) {
        if (!std::isfinite(piece.from) || !std::isfinite(piece.to) || piece.from < 0)
            return fail("the span must start at 0 s or later");
        if (piece.to <= piece.from)
            return fail("the span must end after it starts");
    }

    // Every failure is reported in the one line of the report; libavformat's own log lines
    // (a guessed format, a muxer's notes) would only add noise to the caller's stderr.
    av_log_set_level(AV_LOG_QUIET);
    PacketOwner packet;
    if (!packet.pkt)
        return fail("out of memory");
    std::vector<std::unique_ptr<Source>> sources;
    std::int64_t shownMicroseconds = 0;
    for (const ClipPiece& piece : m_pieces) {
        sources.push_back(std::make_unique<Source>());
        Source& src = *sources.back();
        src.piece = piece;
        if (std::string why = Opened(src); !why.empty())
            return fail(why);
        if (sources.size() > 1) {
            if (std::string why = Mismatch(*sources.front(), src); !why.empty())
                return fail(why + ": they can't be joined without re-encoding");
        }
        AVFormatContext* ctx = src.input.ctx;
        AVStream* vs = ctx->streams[src.video];
        src.vtb = vs->time_base;
        const double length = vs->duration > 0    ? double(vs->duration) * av_q2d(src.vtb)
                              : ctx->duration > 0 ? double(ctx->duration) / AV_TIME_BASE
                                                  : 0;
        if (piece.to > length + 1e-6) {
            char text[64];
            std::snprintf(text, sizeof text, "%.3f", length);
            return fail("the span ends after the end of " + Name(piece.moviePath) + " (" + text +
                        " s)");
        }
        // Decimal seconds to the stream's ticks, rounding down: a time between two ticks lies
        // in the frame of the earlier one.
        const AVRational vtb = src.vtb;
        const auto ticks = [vtb](double seconds) {
            return av_rescale_rnd(std::llround(seconds * 1e6), vtb.den,
                                  std::int64_t(vtb.num) * 1000000, AV_ROUND_DOWN);
        };
        const std::int64_t frameLength =
            vs->avg_frame_rate.num > 0 ? av_rescale_q(1, av_inv_q(vs->avg_frame_rate), vtb) : 1;
        src.first = FindFrame(ctx, src.video, ticks(piece.from), frameLength, packet.pkt);
        if (!src.first.found)
            return fail(Name(piece.moviePath) + ": " + src.first.error);
        src.last = FindFrame(ctx, src.video, ticks(piece.to), frameLength, packet.pkt);
        if (!src.last.found)
            return fail(Name(piece.moviePath) + ": " + src.last.error);
        src.shown = src.last.end - src.first.pts;
        shownMicroseconds += av_rescale_q(src.shown, vtb, AVRational{1, 1000000});
    }
    const Source& head = *sources.front();
    const Source& tail = *sources.back();
    report.start = double(head.first.pts) * av_q2d(head.vtb);
    report.end = double(tail.last.end) * av_q2d(tail.vtb);

    // The telemetry: the camera's files when every piece has one, else the GPS the player
    // finds for the recordings elsewhere, decided before anything is written.
    std::vector<std::string> datFiles;
    for (const auto& src : sources) {
        std::string dat;
        if (!FindTelemetryFile(src->piece.telemetryMovie(), dat))
            break;
        datFiles.push_back(dat);
    }
    const bool withDat = datFiles.size() == sources.size();
    // GPS from other sources may take ExifTool a while to find: it is looked for while the
    // movie is written.
    std::vector<std::unique_ptr<TelemetrySet>> gps;
    std::future<bool> gpsFound;
    if (!withDat) {
        for (std::size_t k = 0; k < sources.size(); ++k)
            gps.push_back(std::make_unique<TelemetrySet>());
        gpsFound = std::async(std::launch::async, [&sources, &gps] {
            bool found = false;
            for (std::size_t k = 0; k < sources.size(); ++k) {
                const std::string& movie = sources[k]->piece.telemetryMovie();
                LoadMovieTelemetry(movie, SavedGpsOptions(movie), *gps[k]);
                found = found || gps[k]->fixCount > 0;
            }
            return found;
        });
    }
    const std::string base = m_outputPath.substr(0, m_outputPath.size() - 4);
    const std::string telemetryOut = base + (withDat ? ".DAT" : ".gpx");

    ClipOutputFile movieFile, telemetryFile;
    std::string why;
    if (!movieFile.Create(m_outputPath, why))
        return fail(why);
    if (withDat && !telemetryFile.Create(telemetryOut, why))
        return fail(why);

    OutputOwner output;
    int rc = avformat_alloc_output_context2(&output.ctx, nullptr, mp4 ? "mp4" : "mov", nullptr);
    if (rc < 0)
        return fail("cannot set up the clip: " + AvError(rc));
    AVFormatContext* in0 = head.input.ctx;
    for (const int i : head.streams) {
        AVStream* is = in0->streams[i];
        AVStream* os = avformat_new_stream(output.ctx, nullptr);
        if (!os || avcodec_parameters_copy(os->codecpar, is->codecpar) < 0)
            return fail("cannot set up the clip's tracks");
        // The muxer picks the tag its own container uses for the codec.
        os->codecpar->codec_tag = 0;
        os->time_base = is->time_base;
        os->avg_frame_rate = is->avg_frame_rate;
        os->sample_aspect_ratio = is->sample_aspect_ratio;
        os->disposition = is->disposition;
        av_dict_copy(&os->metadata, is->metadata, 0);
        av_dict_set(&os->metadata, "creation_time", nullptr, 0);
    }
    av_dict_copy(&output.ctx->metadata, in0->metadata, 0);
    av_dict_set(&output.ctx->metadata, "creation_time", nullptr, 0);
    std::tm created{};
    std::uint32_t seconds = 0;
    int readOnly = 0;
    ReadMovieHeader(head.piece.telemetryMovie(), created, seconds, readOnly);
    if (created.tm_mday != 0) {
        const std::int64_t when = std::int64_t(::timegm(&created)) * 1000000;
        const std::int64_t shift = av_rescale_q(head.first.pts, head.vtb, AVRational{1, 1000000});
        av_dict_set(&output.ctx->metadata, "creation_time", CreationTimeText(when + shift).c_str(),
                    0);
    }

    rc = avio_open(&output.ctx->pb, movieFile.tempPath().c_str(), AVIO_FLAG_WRITE);
    if (rc < 0)
        return fail("cannot write " + m_outputPath + ": " + AvError(rc));
    rc = avformat_write_header(output.ctx, nullptr);
    if (rc < 0)
        return fail("cannot write " + m_outputPath + ": " + AvError(rc));

    const std::size_t tracks = head.streams.size();
    std::vector<std::int64_t> lastDts(tracks, INT64_MIN);
    // Where the piece being copied starts in the clip, in microseconds and in each output
    // track's ticks (rounded once, so that the pieces line up without drift).
    std::int64_t offsetMicroseconds = 0;
    std::vector<double> starts, offsets;
    double lastProgress = -1;
    const auto progress = [&](double fraction) {
        if (m_progress && (fraction >= 1 || fraction - lastProgress >= 0.005)) {
            lastProgress = fraction;
            m_progress(std::clamp(fraction, 0.0, 1.0));
        }
    };
    progress(0);
    AVPacket* pkt = packet.pkt;
    for (std::size_t k = 0; k < sources.size(); ++k) {
        Source& src = *sources[k];
        AVFormatContext* ctx = src.input.ctx;
        const std::string& path = src.piece.moviePath;
        starts.push_back(double(src.first.pts) * av_q2d(src.vtb));
        offsets.push_back(double(offsetMicroseconds) / 1e6);
        std::vector<int> map(ctx->nb_streams, -1);
        for (std::size_t t = 0; t < tracks; ++t)
            map[std::size_t(src.streams[t])] = int(t);
        std::vector<bool> done(ctx->nb_streams, true);
        for (const int i : src.streams)
            done[std::size_t(i)] = false;
        std::size_t open = tracks;
        rc = av_seek_frame(ctx, src.video, src.first.seekTarget, AVSEEK_FLAG_BACKWARD);
        if (rc < 0)
            return fail("cannot seek in " + path + ": " + AvError(rc));
        while (open > 0) {
            if (m_cancel && m_cancel->load())
                return fail("cancelled");
            rc = av_read_frame(ctx, pkt);
            if (rc == AVERROR_EOF)
                break;
            if (rc < 0)
                return fail("cannot read " + path + ": " + AvError(rc));
            const int index = pkt->stream_index;
            if (map[std::size_t(index)] < 0 || done[std::size_t(index)] ||
                pkt->pts == AV_NOPTS_VALUE) {
                av_packet_unref(pkt);
                continue;
            }
            AVStream* is = ctx->streams[index];
            const std::int64_t firstPts = av_rescale_q(src.first.pts, src.vtb, is->time_base);
            bool keep = true;
            if (index == src.video) {
                const std::int64_t dts = pkt->dts == AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
                keep = dts <= src.last.lastNeededDts;
                if (keep && k > 0 && pkt->pts < src.first.pts)
                    return fail(Name(path) + " does not start at a key frame: it can't follow " +
                                Name(sources[k - 1]->piece.moviePath) + " without re-encoding");
                if (keep && k + 1 < sources.size() && pkt->pts > src.last.pts)
                    return fail(Name(path) + " is cut before its end: it can't be followed by " +
                                Name(sources[k + 1]->piece.moviePath) + " without re-encoding");
                if (keep && pkt->pts >= src.first.pts && pkt->pts <= src.last.pts) {
                    ++report.frames;
                    progress(double(offsetMicroseconds +
                                    av_rescale_q(pkt->pts - src.first.pts, src.vtb, {1, 1000000})) /
                             double(std::max<std::int64_t>(1, shownMicroseconds)));
                }
            } else {
                // Sound up to the end of the last frame. Before the first frame: the first
                // piece's stays as the decoder's lead-in, hidden by the edit list like the
                // video's; a later piece's would overlap the one before.
                keep = pkt->pts < av_rescale_q(src.last.end, src.vtb, is->time_base);
                if (keep && k > 0 && pkt->pts < firstPts) {
                    av_packet_unref(pkt);
                    continue;
                }
            }
            if (!keep) {
                done[std::size_t(index)] = true;
                --open;
                av_packet_unref(pkt);
                continue;
            }
            const std::size_t track = std::size_t(map[std::size_t(index)]);
            AVStream* os = output.ctx->streams[track];
            // Time 0 is the first piece's first frame; its packets before it get negative
            // times, and the muxer writes the edit list that starts playback there.
            const std::int64_t shift =
                av_rescale_q(offsetMicroseconds, AVRational{1, 1000000}, os->time_base);
            pkt->pts -= firstPts;
            if (pkt->dts != AV_NOPTS_VALUE)
                pkt->dts -= firstPts;
            av_packet_rescale_ts(pkt, is->time_base, os->time_base);
            pkt->pts += shift;
            pkt->dts = pkt->dts == AV_NOPTS_VALUE ? pkt->pts : pkt->dts + shift;
            // At a join the new piece's reordered frames may decode before the previous piece's
            // last frame is shown: their decode times move up just past it, which keeps the
            // decoding order and every picture, and changes no presentation time.
            if (pkt->dts <= lastDts[track])
                pkt->dts = lastDts[track] + 1;
            if (pkt->pts < pkt->dts) {
                if (index == src.video)
                    return fail("cannot join " + Name(path) + ": its frames reorder too far");
                pkt->pts = pkt->dts;
            }
            lastDts[track] = pkt->dts;
            pkt->stream_index = int(track);
            pkt->pos = -1;
            rc = av_interleaved_write_frame(output.ctx, pkt);
            if (rc < 0)
                return fail("cannot write " + m_outputPath + ": " + AvError(rc));
        }
        offsetMicroseconds += av_rescale_q(src.shown, src.vtb, AVRational{1, 1000000});
    }
    rc = av_write_trailer(output.ctx);
    if (rc < 0)
        return fail("cannot write " + m_outputPath + ": " + AvError(rc));
    rc = avio_closep(&output.ctx->pb);
    if (rc < 0)
        return fail("cannot write " + m_outputPath + ": " + AvError(rc));
    report.length = double(offsetMicroseconds) / 1e6;
    if (!TrimVideoEdit(movieFile.tempPath(), report.length))
        return fail("cannot set the end of " + m_outputPath);
    progress(1);

    const bool withGpx = !withDat && gpsFound.get();
    if (withGpx && !telemetryFile.Create(telemetryOut, why))
        return fail(why);
    if (withDat || withGpx) {
        if (withDat) {
            TelemetryPlan plan = PlanTelemetry(starts, offsets, report.length);
            std::string text;
            if (!DatText(datFiles, plan, text))
                return fail("cannot read the telemetry of " + Name(head.piece.telemetryMovie()));
            if (!telemetryFile.WriteAll(text))
                return fail("cannot write " + telemetryOut);
            if (!SliceReadsBack(datFiles, telemetryFile.tempPath(), plan))
                return fail("the telemetry of the span does not read back as the original's");
        } else {
            // The points of every second each piece shows, in order.
            std::vector<GpsFix> fixes;
            for (std::size_t k = 0; k < sources.size(); ++k) {
                const Source& src = *sources[k];
                const int end = int(std::min<std::int64_t>(
                    gps[k]->fixCount,
                    av_rescale_rnd(src.last.end, src.vtb.num, src.vtb.den, AV_ROUND_UP)));
                for (int i = int(std::floor(starts[k])); i < end; ++i)
                    fixes.push_back(gps[k]->fixes[i]);
            }
            std::ostringstream gpx;
            WriteGpxTrack(gpx, fixes.data(), int(fixes.size()), Name(base));
            if (!telemetryFile.WriteAll(gpx.str()))
                return fail("cannot write " + telemetryOut);
        }
    }
    if (m_cancel && m_cancel->load())
        return fail("cancelled");
    if (!movieFile.Commit(why))
        return fail(why);
    if (withDat || withGpx) {
        if (!telemetryFile.Commit(why)) {
            movieFile.Remove();
            return fail(why);
        }
        report.telemetryPath = telemetryOut;
    }
    report.ok = true;
    return report;
}

} // namespace quello
