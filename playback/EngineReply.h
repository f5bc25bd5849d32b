#pragma once

#include <cstdint>

namespace quello {

// The reply_userdata of the engine's asynchronous libmpv requests: what the answer is for in
// the high half, a serial in the low half where a late answer to an older request must not
// count. A request sent with kUnwatched (0) has nobody waiting for its answer: CMpvClient only
// traces its failure.
enum ReplyKind : std::uint64_t {
    kUnwatched = 0,
    kConfirmRead, // the settled video track, size and duration once playback is ready
    kLoadReply,   // loadfile: the playlist entry
    kSeekReply,
    kCaptureReply, // screenshot-raw
    kPauseEofRead, // eof-reached as the pause of a running movie found it
};

constexpr std::uint64_t Reply(ReplyKind kind, std::uint32_t serial = 0) {
    return std::uint64_t(kind) << 32 | serial;
}

constexpr ReplyKind KindOf(std::uint64_t reply) {
    return ReplyKind(reply >> 32);
}

} // namespace quello
