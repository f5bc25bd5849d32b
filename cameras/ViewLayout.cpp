#include "cameras/ViewLayout.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace quello {

namespace {

// A small view in the corner: this share of the picture's width, this far from its edges.
constexpr double kInsetShare = 0.3;
constexpr int kInsetMarginDivisor = 40;
// A strip holds at least this many cells' room, so that two or three small views stay small.
constexpr int kStripMinCells = 3;
// The views overlaid on the clock's picture are moved this much earlier: a view's frame shows
// when its time is not after the clock's, and cameras (or one camera's files) store the same
// instant in different time scales, e.g. frame 15 at 0.5 s in one and at 0.499995 s in another.
// Less than half a frame at 60 fps.
constexpr const char* kEarlier = "setpts=PTS-0.008/TB,";

int Even(std::int64_t value) {
    return int(std::max<std::int64_t>(value / 2 * 2, 2));
}

// The largest rectangle of `source`'s aspect inside `slot`, centred.
ViewRect Fit(const ViewSource& source, const ViewRect& slot) {
    if (!source.present() || slot.empty())
        return slot;
    int w = slot.w;
    int h = Even(std::int64_t(slot.w) * source.height / source.width);
    if (h > slot.h) {
        h = slot.h;
        w = Even(std::int64_t(slot.h) * source.width / source.height);
    }
    return {slot.x + (slot.w - w) / 4 * 2, slot.y + (slot.h - h) / 4 * 2, w, h};
}

} // namespace

ViewLayout ViewLayout::Arrange(ViewArrangement arrangement, const std::vector<ViewSource>& views,
                               int main, int maxWidth) {
    ViewLayout layout;
    const int count = int(std::max<std::size_t>(views.size(), 1));
    layout.m_main = std::clamp(main, 0, count - 1);
    layout.m_arrangement = count == 1 ? ViewArrangement::Single : arrangement;
    layout.m_slots.assign(count, {});
    layout.m_present.assign(count, false);
    for (std::size_t i = 0; i < views.size(); ++i)
        layout.m_present[i] = views[i].present();

    const ViewSource mainSource =
        layout.m_main < int(views.size()) ? views[layout.m_main] : ViewSource{};
    std::int64_t w = mainSource.present() ? mainSource.width : 1280;
    std::int64_t h = mainSource.present() ? mainSource.height : 720;
    if (maxWidth > 0 && w > maxWidth) {
        h = h * maxWidth / w;
        w = maxWidth;
    }
    const int mainW = Even(w), mainH = Even(h);
    // A cell of the grid or strip, `columns` to the main view's width, in its aspect.
    const auto cell = [&](int columns) {
        const int cw = Even(mainW / columns);
        return ViewRect{0, 0, cw, Even(std::int64_t(cw) * mainH / mainW)};
    };

    switch (layout.m_arrangement) {
    case ViewArrangement::Single:
        layout.m_slots[layout.m_main] = {0, 0, mainW, mainH};
        layout.m_width = mainW;
        layout.m_height = mainH;
        break;
    case ViewArrangement::Main: {
        layout.m_slots[layout.m_main] = {0, 0, mainW, mainH};
        layout.m_width = mainW;
        layout.m_height = mainH;
        if (count == 2) {
            const int other = 1 - layout.m_main;
            const int iw = Even(std::int64_t(mainW * kInsetShare));
            const int ih = Even(std::int64_t(iw) * mainH / mainW);
            const int margin = Even(mainW / kInsetMarginDivisor);
            layout.m_slots[other] = {mainW - iw - margin, margin, iw, ih};
            break;
        }
        const ViewRect c = cell(std::max(count - 1, kStripMinCells));
        int x = (mainW - (count - 1) * c.w) / 4 * 2;
        for (int i = 0; i < count; ++i) {
            if (i == layout.m_main)
                continue;
            layout.m_slots[i] = {x, mainH, c.w, c.h};
            x += c.w;
        }
        layout.m_height = mainH + c.h;
        break;
    }
    case ViewArrangement::Grid: {
        const int columns = count <= 4 ? 2 : 3;
        const int rows = (count + columns - 1) / columns;
        const ViewRect c = cell(columns);
        // The main view takes the first cell, the others follow in their order.
        int place = 0;
        const auto put = [&](int view) {
            layout.m_slots[view] = {place % columns * c.w, place / columns * c.h, c.w, c.h};
            ++place;
        };
        put(layout.m_main);
        for (int i = 0; i < count; ++i)
            if (i != layout.m_main)
                put(i);
        layout.m_width = columns * c.w;
        layout.m_height = rows * c.h;
        break;
    }
    }

    layout.m_pictures.resize(count);
    for (int i = 0; i < count; ++i)
        layout.m_pictures[i] =
            Fit(i < int(views.size()) ? views[i] : ViewSource{}, layout.m_slots[i]);
    return layout;
}

ViewArrangement ViewLayout::Next(ViewArrangement current) {
    switch (current) {
    case ViewArrangement::Main:
        return ViewArrangement::Grid;
    case ViewArrangement::Grid:
        return ViewArrangement::Single;
    case ViewArrangement::Single:
        break;
    }
    return ViewArrangement::Main;
}

int ViewLayout::ViewAt(int x, int y) const {
    // The main view lies under the others (the corner view sits on it).
    for (int i = 0; i < int(m_slots.size()); ++i)
        if (i != m_main && m_slots[i].contains(x, y))
            return i;
    return !m_slots.empty() && m_slots[m_main].contains(x, y) ? m_main : -1;
}

std::string ViewLayout::FilterGraph(const std::vector<int>& track) const {
    const auto trackOf = [&](int view) { return view < int(track.size()) ? track[view] : 0; };
    if (m_slots.empty() || trackOf(m_main) <= 0)
        return {};
    const auto size = [](const ViewRect& r) {
        return std::to_string(r.w) + ":" + std::to_string(r.h);
    };
    const auto scale = [&](const ViewRect& r) {
        return "scale=" + size(r) + ":flags=fast_bilinear";
    };

    const auto input = [&](int view) {
        // The clock's own track feeds the canvas too (below), so it is split off first.
        return trackOf(view) == 1 && trackOf(m_main) != 1
                   ? std::string("[t1]")
                   : "[vid" + std::to_string(trackOf(view)) + "]";
    };
    const auto overlay = [&](const std::string& below, int view, const std::string& out) {
        const ViewRect& r = m_pictures[view];
        const std::string in = "[s" + std::to_string(view) + "]";
        return input(view) + kEarlier + scale(r) + in + ";" + below + in +
               "overlay=" + std::to_string(r.x) + ":" + std::to_string(r.y) +
               ":eof_action=pass:eval=init" + out;
    };
    const std::string canvas = std::to_string(m_width) + ":" + std::to_string(m_height);

    std::string graph;
    std::string below = "[m]";
    if (trackOf(m_main) == 1) {
        // The clock's view is the main one: the canvas is its picture, padded.
        const ViewRect& p = m_pictures[m_main];
        graph = "[vid1]" + scale(p);
        if (!(p == ViewRect{0, 0, m_width, m_height}))
            graph += ",pad=" + canvas + ":" + std::to_string(p.x) + ":" + std::to_string(p.y) +
                     ":color=black";
        graph += below;
    } else {
        // Another view is the main one and may end first: a black canvas on the clock's
        // frames carries the composition to the recording's end.
        bool clockShown = false;
        for (int i = 0; i < int(m_slots.size()); ++i)
            clockShown = clockShown || (trackOf(i) == 1 && !m_slots[i].empty());
        graph = std::string(clockShown ? "[vid1]split[c][t1];[c]" : "[vid1]") +
                "crop=2:2:0:0,drawbox=t=fill:c=black,pad=" + canvas + ":0:0:color=black[m];" +
                overlay("[m]", m_main, "[b]");
        below = "[b]";
    }
    for (int i = 0; i < int(m_slots.size()); ++i) {
        if (i == m_main || m_slots[i].empty() || !m_present[i] || trackOf(i) <= 0)
            continue;
        const std::string out = "[o" + std::to_string(i) + "]";
        graph += ";" + overlay(below, i, out);
        below = out;
    }
    // The last label becomes the output.
    graph.replace(graph.size() - below.size(), below.size(), "[vo]");
    return graph;
}

} // namespace quello
