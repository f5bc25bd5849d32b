#pragma once

#include <mpv/client.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace quello {

class CMpvClient;

// The capture of the frame on screen through libmpv's screenshot-raw: sends the request and
// keeps the answer to the latest one as a packed DIB (FrameDib.h); the answer to an earlier
// request no longer counts. Waiting for the answer is the caller's.
// Threading: GUI thread only.
class CFrameCapture {
public:
    // Sends a new request; libmpv's error when it cannot be sent.
    int Request(CMpvClient& client);
    void HandleReply(const mpv_event& event); // an MPV_EVENT_COMMAND_REPLY of kCaptureReply
    bool answered() const { return m_answer.has_value(); }
    // The answer (empty: libmpv had no frame, or no answer came); the capture is then unanswered.
    std::vector<unsigned char> TakeAnswer();
    void Reset();

private:
    std::uint32_t m_serial = 0;
    std::optional<std::vector<unsigned char>> m_answer;
};

} // namespace quello
