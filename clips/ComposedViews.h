#pragma once

#include "cameras/ViewLayout.h"

#include <memory>
#include <string>
#include <vector>

struct AVFrame;

namespace quello {

// Every camera of a moment on one picture, for a clip: the main camera's frames, handed in one
// by one, composed with the other cameras' frames of the same time in ViewLayout's grid at the
// main camera's picture size, at most kMaxWidth wide. The other cameras' files are decoded
// alongside, forward only, each showing its last frame that starts at or before the main
// frame's time; a view without a frame then (its file missing, unreadable or ended) is black.
//
// One object per recording of the clip; owns its decoders and the composed picture. Not
// thread-safe: used on the clip's thread.
class ComposedViews {
public:
    static constexpr int kMaxWidth = 1280;

    ComposedViews();
    ~ComposedViews();
    ComposedViews(const ComposedViews&) = delete;
    ComposedViews& operator=(const ComposedViews&) = delete;

    // `movies`: the moment's files, the main camera's first, whose picture is `mainWidth` x
    // `mainHeight`; the others are decoded from the key frame before `from` seconds. False,
    // with `error` set, only when the composed picture can't be set up.
    bool Open(const std::vector<std::string>& movies, int mainWidth, int mainHeight, double from,
              std::string& error);

    int width() const { return m_layout.width(); }
    int height() const { return m_layout.height(); }

    // The composed picture for `main`, the main camera's frame shown at `seconds` of its
    // recording: 4:2:0 YUV in `main`'s range, with `main`'s times. Owned by this object and
    // valid until the next call; nullptr when out of memory.
    AVFrame* Compose(const AVFrame* main, double seconds);

private:
    struct View;

    ViewLayout m_layout;
    std::vector<std::unique_ptr<View>> m_views; // the moment's cameras, the main one first
    AVFrame* m_picture = nullptr;
};

} // namespace quello
