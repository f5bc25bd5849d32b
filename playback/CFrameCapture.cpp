#include "playback/CFrameCapture.h"

#include "playback/CMpvClient.h"
#include "playback/EngineReply.h"
#include "playback/FrameDib.h"

#include <cstring>
#include <utility>

namespace quello {

namespace {

// The frame in a screenshot-raw result as a packed DIB; empty when libmpv had none.
std::vector<unsigned char> DibFromScreenshot(const mpv_node& result) {
    std::vector<unsigned char> dib;
    std::int64_t width = 0, height = 0, stride = 0;
    const char* format = nullptr;
    const mpv_byte_array* data = nullptr;
    if (result.format == MPV_FORMAT_NODE_MAP) {
        for (int i = 0; i < result.u.list->num; ++i) {
            const char* key = result.u.list->keys[i];
            const mpv_node& value = result.u.list->values[i];
            if (value.format == MPV_FORMAT_INT64) {
                if (std::strcmp(key, "w") == 0)
                    width = value.u.int64;
                else if (std::strcmp(key, "h") == 0)
                    height = value.u.int64;
                else if (std::strcmp(key, "stride") == 0)
                    stride = value.u.int64;
            } else if (value.format == MPV_FORMAT_STRING && std::strcmp(key, "format") == 0) {
                format = value.u.string;
            } else if (value.format == MPV_FORMAT_BYTE_ARRAY && std::strcmp(key, "data") == 0) {
                data = value.u.ba;
            }
        }
    }
    const bool usable =
        format && (std::strcmp(format, "bgr0") == 0 || std::strcmp(format, "bgra") == 0) && data &&
        width > 0 && height > 0 && width <= INT32_MAX && height <= INT32_MAX &&
        stride >= width * 4 && std::int64_t(data->size) >= stride * height;
    const int size = usable ? PackedDibSize(int(width), int(height)) : 0;
    if (size > 0) {
        dib.resize(std::size_t(size));
        if (!PackDib(static_cast<const unsigned char*>(data->data), int(width), int(height),
                     std::size_t(stride), dib.data(), size))
            dib.clear();
    }
    return dib;
}

} // namespace

int CFrameCapture::Request(CMpvClient& client) {
    m_answer.reset();
    // The picture on screen goes through libswscale's fast paths; the frame a user saves
    // goes through zimg, whose colours are the accurate ones. libmpv runs these requests in their
    // order, so only the capture sees zimg allowed.
    client.SetString("sws-allow-zimg", "yes");
    const int rc = client.Command(Reply(kCaptureReply, ++m_serial), {"screenshot-raw", "video"});
    client.SetString("sws-allow-zimg", "no");
    return rc;
}

void CFrameCapture::HandleReply(const mpv_event& event) {
    if (event.reply_userdata != Reply(kCaptureReply, m_serial))
        return;
    const auto* command = static_cast<const mpv_event_command*>(event.data);
    m_answer = event.error < 0 || !command ? std::vector<unsigned char>()
                                           : DibFromScreenshot(command->result);
}

std::vector<unsigned char> CFrameCapture::TakeAnswer() {
    return std::exchange(m_answer, std::nullopt).value_or(std::vector<unsigned char>());
}

void CFrameCapture::Reset() {
    m_answer.reset();
}

} // namespace quello
