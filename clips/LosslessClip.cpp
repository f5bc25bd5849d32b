#include "LosslessClip.h"

#include "ClipOutputFile.h"
#include "TelemetrySlice.h"

#include "recordings/MovieHeader.h"
#include "recordings/TelemetryParser.h"
#include "recordings/TelemetrySet.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quello {

namespace {

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

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

struct PacketOwner {
    AVPacket* pkt = av_packet_alloc();
    ~PacketOwner() { av_packet_free(&pkt); }
};

bool EndsWithNoCase(const std::string& text, const char* suffix) {
    const std::size_t n = std::strlen(suffix);
    return text.size() > n && ::strcasecmp(text.c_str() + text.size() - n, suffix) == 0;
}

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

// "YYYY-MM-DDTHH:MM:SS.uuuuuuZ", what libavformat reads as a creation time.
std::string IsoTime(std::int64_t microseconds) {
    const std::time_t seconds = std::time_t(microseconds / 1000000);
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char text[64];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + n, sizeof text - n, ".%06dZ", int(microseconds % 1000000));
    return text;
}

bool SameFix(const GpsFix& a, const GpsFix& b) {
    return std::memcmp(a.dateTime, b.dateTime, sizeof a.dateTime) == 0 &&
           std::memcmp(a.latitude, b.latitude, sizeof a.latitude) == 0 &&
           std::memcmp(a.longitude, b.longitude, sizeof a.longitude) == 0 && a.speed == b.speed &&
           a.heading == b.heading;
}

// Reads the written slice back with the player's parser: it must show, at every sample and
// fix of the clip, what the original shows at the shifted index.
bool SliceReadsBack(const std::string& original, const std::string& slice, int firstSample,
                    int samples, int firstFix) {
    auto from = std::make_unique<TelemetrySet>();
    auto clip = std::make_unique<TelemetrySet>();
    if (!ParseTelemetryFile(original, *from) || !ParseTelemetryFile(slice, *clip))
        return false;
    const int expected = std::max(0, std::min(samples, from->sampleCount - firstSample));
    if (clip->sampleCount != expected)
        return false;
    for (int i = 0; i < clip->sampleCount; ++i) {
        const GSensorSample& a = clip->samples[i];
        const GSensorSample& b = from->samples[firstSample + i];
        if (a.x != b.x || a.y != b.y || a.z != b.z)
            return false;
    }
    for (int j = 0; j < clip->fixCount; ++j) {
        if (firstFix + j >= TelemetrySet::kMaxFixes ||
            !SameFix(clip->fixes[j], from->fixes[firstFix + j]))
            return false;
    }
    return true;
}

std::uint64_t Big(const unsigned char* p, int bytes) {
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | p[i];
    return v;
}

void PutBig(unsigned char* p, int bytes, std::uint64_t v) {
    for (int i = bytes - 1; i >= 0; --i, v >>= 8)
        p[i] = static_cast<unsigned char>(v & 0xff);
}

// The boxes directly inside [begin, end) of `data` named `type`, as (content start, box end).
std::vector<std::pair<std::size_t, std::size_t>> Boxes(const std::vector<unsigned char>& data,
                                                       std::size_t begin, std::size_t end,
                                                       const char* type) {
    std::vector<std::pair<std::size_t, std::size_t>> found;
    while (begin + 8 <= end) {
        std::uint64_t size = Big(&data[begin], 4);
        std::size_t header = 8;
        if (size == 1 && begin + 16 <= end) {
            size = Big(&data[begin + 8], 8);
            header = 16;
        }
        if (size < header || size > end - begin)
            break;
        if (std::memcmp(&data[begin + 4], type, 4) == 0)
            found.emplace_back(begin + header, begin + std::size_t(size));
        begin += std::size_t(size);
    }
    return found;
}

// The muxer's edit list ends the video where its last packet's picture ends; a reordered
// reference frame kept after the last frame would show. Sets the video edit's length to the
// span [start, end) (seconds). True when the movie holds such an edit and it was rewritten.
bool TrimVideoEdit(const std::string& path, double seconds) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool trimmed = false;
    struct stat st {};
    std::uint64_t at = 0;
    unsigned char head[16];
    while (::fstat(fd, &st) == 0 && at + 8 <= std::uint64_t(st.st_size)) {
        if (::pread(fd, head, 16, off_t(at)) < 8)
            break;
        std::uint64_t size = Big(head, 4);
        if (size == 1)
            size = Big(head + 8, 8);
        else if (size == 0)
            size = std::uint64_t(st.st_size) - at;
        if (size < 8 || at + size > std::uint64_t(st.st_size))
            break;
        if (std::memcmp(head + 4, "moov", 4) != 0 || size > (64u << 20)) {
            at += size;
            continue;
        }
        std::vector<unsigned char> moov(std::size_t(size), 0);
        if (::pread(fd, moov.data(), moov.size(), off_t(at)) != ssize_t(moov.size()))
            break;
        const auto mvhd = Boxes(moov, 8, moov.size(), "mvhd");
        if (mvhd.empty())
            break;
        const std::size_t m = mvhd[0].first;
        const std::uint64_t scale = Big(&moov[m + (moov[m] == 1 ? 20 : 12)], 4);
        for (const auto& trak : Boxes(moov, 8, moov.size(), "trak")) {
            bool isVideo = false;
            for (const auto& mdia : Boxes(moov, trak.first, trak.second, "mdia"))
                for (const auto& hdlr : Boxes(moov, mdia.first, mdia.second, "hdlr"))
                    isVideo = isVideo || (hdlr.first + 12 <= hdlr.second &&
                                          std::memcmp(&moov[hdlr.first + 8], "vide", 4) == 0);
            if (!isVideo)
                continue;
            for (const auto& edts : Boxes(moov, trak.first, trak.second, "edts")) {
                for (const auto& elst : Boxes(moov, edts.first, edts.second, "elst")) {
                    const std::size_t e = elst.first;
                    const bool wide = moov[e] == 1;
                    const std::size_t entries = std::size_t(Big(&moov[e + 4], 4));
                    const std::size_t entrySize = wide ? 20 : 12;
                    if (entries == 0 || e + 8 + entries * entrySize > elst.second)
                        continue;
                    unsigned char* last = &moov[e + 8 + (entries - 1) * entrySize];
                    PutBig(last, wide ? 8 : 4, std::uint64_t(std::llround(seconds * scale)));
                    if (::pwrite(fd, last, wide ? 8 : 4,
                                 off_t(at + std::uint64_t(last - moov.data()))) == (wide ? 8 : 4))
                        trimmed = true;
                }
            }
        }
        break;
    }
    ::close(fd);
    return trimmed;
}

} // namespace

LosslessClip::LosslessClip(std::string moviePath, std::string outputPath)
    : m_moviePath(std::move(moviePath)), m_outputPath(std::move(outputPath)) {}

ClipReport LosslessClip::Write(double from, double to) {
    ClipReport report;
    auto fail = [&report](std::string why) {
        report.ok = false;
        report.error = std::move(why);
        return report;
    };
    const bool mp4 = EndsWithNoCase(m_outputPath, ".mp4");
    if (!mp4 && !EndsWithNoCase(m_outputPath, ".mov"))
        return fail("the clip's name must end in .mov or .mp4: " + m_outputPath);
    if (!std::isfinite(from) || !std::isfinite(to) || from < 0)
        return fail("the span must start at 0 s or later");
    if (to <= from)
        return fail("the span must end after it starts");

    // Every failure is reported in the one line of the report; libavformat's own log lines
    // (a guessed format, a muxer's notes) would only add noise to the caller's stderr.
    av_log_set_level(AV_LOG_QUIET);
    InputOwner input;
    int rc = avformat_open_input(&input.ctx, m_moviePath.c_str(), nullptr, nullptr);
    if (rc < 0)
        return fail("cannot read " + m_moviePath + ": " + AvError(rc));
    rc = avformat_find_stream_info(input.ctx, nullptr);
    if (rc < 0)
        return fail("cannot read " + m_moviePath + ": " + AvError(rc));
    const int video = av_find_best_stream(input.ctx, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video < 0)
        return fail(m_moviePath + " has no video track");
    AVStream* vs = input.ctx->streams[video];
    const AVRational vtb = vs->time_base;
    const double length = input.ctx->duration > 0 ? double(input.ctx->duration) / AV_TIME_BASE
                          : vs->duration > 0      ? double(vs->duration) * av_q2d(vtb)
                                                  : 0;
    if (to > length) {
        char text[64];
        std::snprintf(text, sizeof text, "%.3f", length);
        return fail("the span ends after the movie's end (" + std::string(text) + " s)");
    }
    // Decimal seconds to the stream's ticks, rounding down: a time between two ticks lies in
    // the frame of the earlier one.
    const auto ticks = [vtb](double seconds) {
        return av_rescale_rnd(std::llround(seconds * 1e6), vtb.den, std::int64_t(vtb.num) * 1000000,
                              AV_ROUND_DOWN);
    };
    const std::int64_t frameLength =
        vs->avg_frame_rate.num > 0 ? av_rescale_q(1, av_inv_q(vs->avg_frame_rate), vtb) : 1;

    PacketOwner packet;
    if (!packet.pkt)
        return fail("out of memory");
    const FrameAt first = FindFrame(input.ctx, video, ticks(from), frameLength, packet.pkt);
    if (!first.found)
        return fail(first.error);
    const FrameAt last = FindFrame(input.ctx, video, ticks(to), frameLength, packet.pkt);
    if (!last.found)
        return fail(last.error);
    report.start = double(first.pts) * av_q2d(vtb);
    report.end = double(last.end) * av_q2d(vtb);

    // The telemetry slice's place and length, decided before anything is written.
    std::string telemetryIn;
    const bool withTelemetry = FindTelemetryFile(m_moviePath, telemetryIn);
    const std::string telemetryOut = m_outputPath.substr(0, m_outputPath.size() - 3) + "DAT";

    ClipOutputFile movieFile, telemetryFile;
    std::string why;
    if (!movieFile.Create(m_outputPath, why))
        return fail(why);
    if (withTelemetry && !telemetryFile.Create(telemetryOut, why))
        return fail(why);

    OutputOwner output;
    rc = avformat_alloc_output_context2(&output.ctx, nullptr, mp4 ? "mp4" : "mov", nullptr);
    if (rc < 0)
        return fail("cannot set up the clip: " + AvError(rc));
    std::vector<int> map(input.ctx->nb_streams, -1);
    std::vector<bool> done(input.ctx->nb_streams, true);
    for (unsigned i = 0; i < input.ctx->nb_streams; ++i) {
        AVStream* is = input.ctx->streams[i];
        const AVMediaType type = is->codecpar->codec_type;
        // A camera's other tracks (time code, embedded data) have no meaning cut apart.
        if ((int(i) != video && type != AVMEDIA_TYPE_AUDIO) ||
            (is->disposition & AV_DISPOSITION_ATTACHED_PIC))
            continue;
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
        map[i] = os->index;
        done[i] = false;
    }
    av_dict_copy(&output.ctx->metadata, input.ctx->metadata, 0);
    av_dict_set(&output.ctx->metadata, "creation_time", nullptr, 0);
    std::tm created{};
    std::uint32_t seconds = 0;
    int readOnly = 0;
    ReadMovieHeader(m_moviePath, created, seconds, readOnly);
    if (created.tm_mday != 0) {
        const std::int64_t base = std::int64_t(::timegm(&created)) * 1000000;
        const std::int64_t shift = av_rescale_q(first.pts, vtb, AVRational{1, 1000000});
        av_dict_set(&output.ctx->metadata, "creation_time", IsoTime(base + shift).c_str(), 0);
    }

    rc = avio_open(&output.ctx->pb, movieFile.tempPath().c_str(), AVIO_FLAG_WRITE);
    if (rc < 0)
        return fail("cannot write " + m_outputPath + ": " + AvError(rc));
    rc = avformat_write_header(output.ctx, nullptr);
    if (rc < 0)
        return fail("cannot write " + m_outputPath + ": " + AvError(rc));

    rc = av_seek_frame(input.ctx, video, first.seekTarget, AVSEEK_FLAG_BACKWARD);
    if (rc < 0)
        return fail("cannot seek in the movie: " + AvError(rc));
    AVPacket* pkt = packet.pkt;
    std::size_t open = std::size_t(std::count(done.begin(), done.end(), false));
    while (open > 0) {
        if (m_cancel && m_cancel->load())
            return fail("cancelled");
        rc = av_read_frame(input.ctx, pkt);
        if (rc == AVERROR_EOF)
            break;
        if (rc < 0)
            return fail("cannot read " + m_moviePath + ": " + AvError(rc));
        const int index = pkt->stream_index;
        if (map[std::size_t(index)] < 0 || done[std::size_t(index)] || pkt->pts == AV_NOPTS_VALUE) {
            av_packet_unref(pkt);
            continue;
        }
        AVStream* is = input.ctx->streams[index];
        bool keep = true;
        if (index == video) {
            const std::int64_t dts = pkt->dts == AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
            keep = dts <= last.lastNeededDts;
            if (keep && pkt->pts >= first.pts && pkt->pts <= last.pts)
                ++report.frames;
        } else {
            // Sound up to the end of the last frame; what precedes the first frame stays as
            // the decoder's lead-in, hidden by the edit list like the video's.
            keep = pkt->pts < av_rescale_q(last.end, vtb, is->time_base);
        }
        if (!keep) {
            done[std::size_t(index)] = true;
            --open;
            av_packet_unref(pkt);
            continue;
        }
        // Time 0 is the first frame; the packets before it get negative times, and the muxer
        // writes the edit list that starts playback there.
        const std::int64_t shift = av_rescale_q(first.pts, vtb, is->time_base);
        pkt->pts -= shift;
        if (pkt->dts != AV_NOPTS_VALUE)
            pkt->dts -= shift;
        av_packet_rescale_ts(pkt, is->time_base, output.ctx->streams[map[index]]->time_base);
        pkt->stream_index = map[std::size_t(index)];
        pkt->pos = -1;
        rc = av_interleaved_write_frame(output.ctx, pkt);
        if (rc < 0)
            return fail("cannot write " + m_outputPath + ": " + AvError(rc));
    }
    rc = av_write_trailer(output.ctx);
    if (rc < 0)
        return fail("cannot write " + m_outputPath + ": " + AvError(rc));
    rc = avio_closep(&output.ctx->pb);
    if (rc < 0)
        return fail("cannot write " + m_outputPath + ": " + AvError(rc));
    if (!TrimVideoEdit(movieFile.tempPath(), double(last.end - first.pts) * av_q2d(vtb)))
        return fail("cannot set the end of " + m_outputPath);

    int firstSample = 0, samples = 0, firstFix = 0;
    if (withTelemetry) {
        // Sample i covers [i/10, (i+1)/10) s and fix i [i, i+1) s: the clip takes those that
        // meet its span, starting with the ones in effect at its first frame.
        firstSample =
            int(av_rescale_rnd(first.pts, std::int64_t(vtb.num) * 10, vtb.den, AV_ROUND_DOWN));
        samples = int(av_rescale_rnd(last.end, std::int64_t(vtb.num) * 10, vtb.den, AV_ROUND_UP)) -
                  firstSample;
        firstFix = int(av_rescale_rnd(first.pts, vtb.num, vtb.den, AV_ROUND_DOWN));
        const int fixes = int(av_rescale_rnd(last.end, vtb.num, vtb.den, AV_ROUND_UP)) - firstFix;
        TelemetrySlice slice;
        if (!slice.Load(telemetryIn))
            return fail("cannot read " + telemetryIn);
        if (!telemetryFile.WriteAll(slice.Text(firstSample, samples, firstFix, fixes)))
            return fail("cannot write " + telemetryOut);
        if (!SliceReadsBack(telemetryIn, telemetryFile.tempPath(), firstSample, samples, firstFix))
            return fail("the telemetry of the span does not read back as the original's");
    }
    if (m_cancel && m_cancel->load())
        return fail("cancelled");
    if (!movieFile.Commit(why))
        return fail(why);
    if (withTelemetry) {
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
