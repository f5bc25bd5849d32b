#include "SeiReader.h"

#include "SeiPayload.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

#include <cstdio>
#include <ctime>
#include <memory>

namespace quello {

namespace {

struct InputCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};

struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

// The NAL length size of an avcC record (ISO/IEC 14496-15); 0 when it is none.
int AvccLengthSize(const AVCodecParameters& codec) {
    if (codec.extradata == nullptr || codec.extradata_size < 7 || codec.extradata[0] != 1)
        return 0;
    return (codec.extradata[4] & 0x03) + 1;
}

bool ParseCreationTime(const AVDictionary* metadata, std::int64_t& out) {
    const AVDictionaryEntry* entry = av_dict_get(metadata, "creation_time", nullptr, 0);
    if (entry == nullptr)
        return false;
    std::tm tm{};
    int year = 0, month = 0;
    if (std::sscanf(entry->value, "%d-%d-%dT%d:%d:%d", &year, &month, &tm.tm_mday, &tm.tm_hour,
                    &tm.tm_min, &tm.tm_sec) != 6 ||
        year < 1971)
        return false;
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    out = std::int64_t(::timegm(&tm));
    return true;
}

} // namespace

bool SeiReader::Read(const std::string& moviePath, SeiTrack& out, double giveUpSeconds,
                     double stopSeconds) {
    out = SeiTrack{};
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, moviePath.c_str(), nullptr, nullptr) < 0)
        return false;
    const std::unique_ptr<AVFormatContext, InputCloser> input(raw);
    const int index = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0)
        return false;
    const AVStream& stream = *raw->streams[index];
    const int lengthSize = AvccLengthSize(*stream.codecpar);
    if (stream.codecpar->codec_id != AV_CODEC_ID_H264 || lengthSize == 0)
        return false;
    for (int i = 0; i < int(raw->nb_streams); ++i)
        if (i != index)
            raw->streams[i]->discard = AVDISCARD_ALL;
    out.hasCreationTime = ParseCreationTime(raw->metadata, out.creationTime);

    const double timeBase = av_q2d(stream.time_base);
    const std::int64_t origin = stream.start_time != AV_NOPTS_VALUE ? stream.start_time : 0;
    const std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    if (!packet)
        return false;
    while (av_read_frame(raw, packet.get()) >= 0) {
        if (packet->stream_index == index) {
            const std::int64_t pts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            const double seconds = pts == AV_NOPTS_VALUE ? 0 : double(pts - origin) * timeBase;
            bool found = false;
            SeiPayload::ForEachAvccUnit(packet->data, std::size_t(packet->size), lengthSize,
                                        [&](const std::uint8_t* unit, std::size_t size) {
                                            if (found)
                                                return;
                                            if (auto message =
                                                    SeiPayload::FromNalUnit(unit, size)) {
                                                out.records.push_back({seconds, *message});
                                                found = true;
                                            }
                                        });
            if ((out.records.empty() && seconds > giveUpSeconds) || seconds > stopSeconds) {
                av_packet_unref(packet.get());
                break;
            }
        }
        av_packet_unref(packet.get());
    }
    return !out.records.empty();
}

} // namespace quello
