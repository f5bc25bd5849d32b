#include "playback/CPlaybackStatus.h"

#include "playback/CMpvClient.h"
#include "playback/EngineReply.h"
#include "playback/EngineTrace.h"

#include <cstring>
#include <utility>

namespace quello {

CPlaybackStatus::CPlaybackStatus(std::function<void()> videoSizeReported)
    : m_videoSizeReported(std::move(videoSizeReported)) {}

int CPlaybackStatus::Observe(CMpvClient& client) {
    const std::pair<const char*, mpv_format> observed[] = {
        {"time-pos", MPV_FORMAT_DOUBLE},
        {"duration", MPV_FORMAT_DOUBLE},
        {"eof-reached", MPV_FORMAT_FLAG},
        {"frame-drop-count", MPV_FORMAT_INT64},
        {"decoder-frame-drop-count", MPV_FORMAT_INT64},
        {"vid", MPV_FORMAT_INT64},
        {"dwidth", MPV_FORMAT_INT64},
        {"dheight", MPV_FORMAT_INT64},
    };
    for (const auto& [name, format] : observed) {
        if (const int rc = client.ObserveProperty(name, format); rc < 0)
            return rc;
    }
    return 0;
}

void CPlaybackStatus::ConfirmVideo(CMpvClient& client) {
    m_confirmReads = 0;
    const std::pair<const char*, mpv_format> reads[] = {
        {"vid", MPV_FORMAT_INT64},       {"dwidth", MPV_FORMAT_INT64},
        {"dheight", MPV_FORMAT_INT64},   {"duration", MPV_FORMAT_DOUBLE},
        {"time-pos", MPV_FORMAT_DOUBLE},
    };
    for (const auto& [name, format] : reads)
        if (client.GetAsync(Reply(kConfirmRead), name, format) >= 0)
            ++m_confirmReads;
}

void CPlaybackStatus::SeekSent(double target) {
    m_seekTarget = target;
    ++m_seeksInFlight;
}

void CPlaybackStatus::ClearEnd() {
    m_eofReached = false;
}

void CPlaybackStatus::Reset() {
    m_videoTrack = false;
    m_videoWidth = m_videoHeight = 0;
    m_position = m_duration = 0.0;
    m_eofReached = false;
    m_outputDrops = m_decoderDrops = 0;
    m_seekTarget.reset();
    m_backStepPending = false;
    m_seeksInFlight = 0;
    m_entryId = -1;
    m_loadError.reset();
    m_fileLoaded = m_playbackReady = false;
    m_confirmReads = 0;
}

void CPlaybackStatus::HandleEvent(const mpv_event& event) {
    switch (event.event_id) {
    case MPV_EVENT_GET_PROPERTY_REPLY:
        HandleReadReply(event);
        break;
    case MPV_EVENT_PROPERTY_CHANGE:
        if (event.data)
            HandleProperty(*static_cast<const mpv_event_property*>(event.data));
        break;
    case MPV_EVENT_COMMAND_REPLY:
        HandleCommandReply(event);
        break;
    case MPV_EVENT_FILE_LOADED:
        m_fileLoaded = true;
        break;
    case MPV_EVENT_END_FILE: {
        const auto* end = static_cast<const mpv_event_end_file*>(event.data);
        if (m_fileLoaded || (m_entryId >= 0 && end->playlist_entry_id != m_entryId))
            break; // not the end of the load in progress
        const int rc =
            end->reason == MPV_END_FILE_REASON_ERROR ? end->error : int(MPV_ERROR_NOTHING_TO_PLAY);
        m_loadError = rc < 0 ? rc : int(MPV_ERROR_LOADING_FAILED);
        break;
    }
    case MPV_EVENT_PLAYBACK_RESTART:
        if (m_fileLoaded)
            m_playbackReady = true;
        m_backStepPending = false;
        if (m_seekTarget && m_seeksInFlight == 0) {
            m_position = *m_seekTarget; // until time-pos reports the frame's own time
            m_seekTarget.reset();
        }
        break;
    default:
        break;
    }
}

void CPlaybackStatus::HandleReadReply(const mpv_event& event) {
    if (!event.data || KindOf(event.reply_userdata) != kConfirmRead)
        return;
    const auto& property = *static_cast<const mpv_event_property*>(event.data);
    if (m_confirmReads > 0)
        --m_confirmReads;
    // Unavailable (no video track, no size yet): the reply keeps the format asked for but
    // carries no value.
    HandleProperty(event.error < 0 ? mpv_event_property{property.name, MPV_FORMAT_NONE, nullptr}
                                   : property);
}

void CPlaybackStatus::HandleCommandReply(const mpv_event& event) {
    switch (KindOf(event.reply_userdata)) {
    case kLoadReply: {
        const auto* command = static_cast<const mpv_event_command*>(event.data);
        if (event.error < 0) {
            m_loadError = event.error;
        } else if (command && command->result.format == MPV_FORMAT_NODE_MAP) {
            const mpv_node_list& map = *command->result.u.list;
            for (int i = 0; i < map.num; ++i) {
                if (std::strcmp(map.keys[i], "playlist_entry_id") == 0 &&
                    map.values[i].format == MPV_FORMAT_INT64)
                    m_entryId = map.values[i].u.int64;
            }
        }
        return;
    }
    case kSeekReply:
        if (m_seeksInFlight > 0)
            --m_seeksInFlight;
        if (event.error < 0) {
            TraceFailure("FAILED(hr=0x%x) in mpv_command_async(mpv, seek)\n", event.error);
            if (m_seeksInFlight == 0)
                m_seekTarget.reset();
        }
        return;
    default:
        return;
    }
}

void CPlaybackStatus::HandleProperty(const mpv_event_property& property) {
    const auto intValue = [&] {
        return property.format == MPV_FORMAT_INT64
                   ? *static_cast<const std::int64_t*>(property.data)
                   : std::int64_t(0);
    };
    const auto doubleValue = [&] {
        return property.format == MPV_FORMAT_DOUBLE ? *static_cast<const double*>(property.data)
                                                    : 0.0;
    };
    const char* name = property.name;
    if (std::strcmp(name, "time-pos") == 0) {
        // Unavailable while a new file loads: the last position stands.
        if (property.format == MPV_FORMAT_DOUBLE)
            m_position = doubleValue();
    } else if (std::strcmp(name, "duration") == 0) {
        m_duration = doubleValue();
    } else if (std::strcmp(name, "eof-reached") == 0) {
        m_eofReached =
            property.format == MPV_FORMAT_FLAG && *static_cast<const int*>(property.data) != 0;
    } else if (std::strcmp(name, "vid") == 0) {
        m_videoTrack = property.format == MPV_FORMAT_INT64;
    } else if (std::strcmp(name, "dwidth") == 0 || std::strcmp(name, "dheight") == 0) {
        (name[1] == 'w' ? m_videoWidth : m_videoHeight) = intValue();
        if (m_videoSizeReported)
            m_videoSizeReported();
    } else if (std::strcmp(name, "frame-drop-count") == 0) {
        m_outputDrops = intValue();
    } else if (std::strcmp(name, "decoder-frame-drop-count") == 0) {
        m_decoderDrops = intValue();
    }
}

} // namespace quello
