#pragma once

#include <string>
#include <vector>

namespace quello {

// How the views of a moment share the picture: the main view large with the others in a
// corner (two views) or in a strip below it (more), all in equal cells, or the main view alone.
enum class ViewArrangement { Main = 0, Grid = 1, Single = 2 };

// A rectangle on the composed picture, in pixels; empty (w or h 0) when not shown.
struct ViewRect {
    int x = 0, y = 0, w = 0, h = 0;
    bool empty() const { return w <= 0 || h <= 0; }
    bool contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
    bool operator==(const ViewRect&) const = default;
};

// One camera's movie as the layout sees it: its picture size, 0 x 0 when its file is missing
// or has no picture.
struct ViewSource {
    int width = 0, height = 0;
    bool present() const { return width > 0 && height > 0; }
};

// Where each view of a moment goes on one composed picture, and the libavfilter graph that
// composes it from the views' decoded frames (`[vidN]` inputs, `[vo]` output: libmpv's
// lavfi-complex syntax), so that every view is shown from one clock, frame-locked.
//
// Every view gets a slot; its picture is scaled into the slot keeping its aspect ratio
// (letterboxed black). A missing view keeps its slot, black, for the caller to label. Sizes
// and offsets are even, as 4:2:0 pictures need. A plain value; safe on any thread.
class ViewLayout {
public:
    // Lays out `views` (at least one) with `main` as the main view (clamped into range). The
    // composed picture takes the main view's size, no wider than `maxWidth`; a grid or strip
    // adds rows below as needed. A main view without a picture counts as 16:9.
    static ViewLayout Arrange(ViewArrangement arrangement, const std::vector<ViewSource>& views,
                              int main, int maxWidth);

    // The arrangement `V` moves to from `current`.
    static ViewArrangement Next(ViewArrangement current);

    int width() const { return m_width; }
    int height() const { return m_height; }
    int main() const { return m_main; }
    ViewArrangement arrangement() const { return m_arrangement; }
    // The slot of view i (empty when the arrangement hides it) and the picture inside it.
    const std::vector<ViewRect>& viewSlots() const { return m_slots; }
    const std::vector<ViewRect>& pictures() const { return m_pictures; }
    // The view shown at a point of the composed picture (the one drawn on top), -1 for none.
    int ViewAt(int x, int y) const;

    // The graph for libmpv: `track[i]` is the video track number (`vidN`) that view i's file
    // has, 0 for a missing view. Views drawn in z-order: the main view first, then the others;
    // one that ends early leaves its slot black.
    std::string FilterGraph(const std::vector<int>& track) const;

private:
    ViewArrangement m_arrangement = ViewArrangement::Single;
    int m_main = 0;
    int m_width = 0, m_height = 0;
    std::vector<ViewRect> m_slots, m_pictures;
    std::vector<bool> m_present;
};

} // namespace quello
