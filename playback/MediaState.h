#pragma once

namespace quello {

// The media engine's playback state, as read through CMediaGraph::GetState.
enum class MediaState : int {
    Stopped = 0,
    Paused = 1,
    Running = 2,
    Closed = 3,
};

} // namespace quello
