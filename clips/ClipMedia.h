#pragma once

// What the clip writers share about FFmpeg's libraries: error texts, the creation time's
// format, the packet's owner and the output names they accept. Plain functions and a value
// type; any thread.
extern "C" {
#include <libavcodec/packet.h>
}

#include <cstdint>
#include <string>

namespace quello {

// libav's text for an error code.
std::string AvError(int code);

// "YYYY-MM-DDTHH:MM:SS.uuuuuuZ" of microseconds since 1970 (UTC), what libavformat reads as a
// creation time.
std::string CreationTimeText(std::int64_t microseconds);

// Whether `text` ends in `suffix` ignoring case (".mp4", ".MOV"), with something before it.
bool EndsWithNoCase(const std::string& text, const char* suffix);

// Owns one packet; av_packet_alloc() may fail, leaving `pkt` null.
struct PacketOwner {
    AVPacket* pkt = av_packet_alloc();
    PacketOwner() = default;
    PacketOwner(const PacketOwner&) = delete;
    PacketOwner& operator=(const PacketOwner&) = delete;
    ~PacketOwner() { av_packet_free(&pkt); }
};

} // namespace quello
