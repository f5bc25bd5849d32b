// Where the views of a moment go on the composed picture, and the graph libmpv composes them
// with: sizes, the view under a click, and the graph's inputs for the clock's view as main view,
// another view as main view, and a view without a picture.
#include "cameras/ViewLayout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quello {
namespace {

TEST(ViewLayout, SlotsAndTheViewUnderAPoint) {
    const ViewSource hd{1920, 1080}, tesla{1280, 960}, none{};
    struct Case {
        ViewArrangement arrangement;
        std::vector<ViewSource> views;
        int main;
        int width, height;
        std::vector<ViewRect> slots;
        std::vector<ViewRect> pictures; // only checked where given
        int x, y, under;                // ViewAt(x, y)
    };
    const Case cases[] = {
        // Two views: the other in the top-right corner, over the main view (scaled to 1280).
        {ViewArrangement::Main,
         {hd, hd},
         0,
         1280,
         720,
         {{0, 0, 1280, 720}, {864, 32, 384, 216}},
         {},
         900,
         40,
         1},
        {ViewArrangement::Main,
         {hd, hd},
         1,
         1280,
         720,
         {{864, 32, 384, 216}, {0, 0, 1280, 720}},
         {},
         10,
         10,
         1},
        // Four: a strip of three below; a missing view keeps its slot.
        {ViewArrangement::Main,
         {tesla, tesla, none, tesla},
         0,
         1280,
         1278,
         {{0, 0, 1280, 960}, {0, 960, 426, 318}, {426, 960, 426, 318}, {852, 960, 426, 318}},
         {},
         500,
         1000,
         2},
        // A 4:3 view in a 16:9 cell is letterboxed; six views make a 3 x 2 grid.
        {ViewArrangement::Grid,
         {hd, tesla},
         0,
         1280,
         360,
         {{0, 0, 640, 360}, {640, 0, 640, 360}},
         {{0, 0, 640, 360}, {720, 0, 480, 360}},
         700,
         10,
         1},
        {ViewArrangement::Grid,
         std::vector<ViewSource>(6, tesla),
         2,
         1278,
         636,
         {{426, 0, 426, 318},
          {852, 0, 426, 318},
          {0, 0, 426, 318},
          {0, 318, 426, 318},
          {426, 318, 426, 318},
          {852, 318, 426, 318}},
         {},
         10,
         10,
         2},
        {ViewArrangement::Single,
         {tesla, tesla},
         1,
         1280,
         960,
         {{}, {0, 0, 1280, 960}},
         {},
         1270,
         10,
         1},
        // One view is always alone; an out-of-range main view is the last one.
        {ViewArrangement::Grid, {tesla}, 0, 1280, 960, {{0, 0, 1280, 960}}, {}, 2000, 10, -1},
        {ViewArrangement::Main,
         {tesla, tesla},
         7,
         1280,
         960,
         {{864, 32, 384, 288}, {0, 0, 1280, 960}},
         {},
         900,
         40,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.arrangement) << " " << c.views.size());
        const ViewLayout layout = ViewLayout::Arrange(c.arrangement, c.views, c.main, 1280);
        EXPECT_EQ(layout.width(), c.width);
        EXPECT_EQ(layout.height(), c.height);
        EXPECT_EQ(layout.viewSlots(), c.slots);
        for (std::size_t i = 0; i < c.pictures.size(); ++i)
            EXPECT_EQ(layout.pictures()[i], c.pictures[i]) << i;
        EXPECT_EQ(layout.ViewAt(c.x, c.y), c.under);
    }
    EXPECT_EQ(ViewLayout::Next(ViewArrangement::Single), ViewArrangement::Main);
}

TEST(ViewLayout, TheGraphDrawsEveryViewOnTheClocksFrames) {
    const ViewSource hd{1920, 1080}, none{};
    const std::string early = "setpts=PTS-0.008/TB,";
    const std::string fast = ":flags=fast_bilinear";
    struct Case {
        ViewArrangement arrangement;
        std::vector<ViewSource> views;
        int main;
        std::vector<int> tracks;
        std::string graph;
    };
    const Case cases[] = {
        {ViewArrangement::Main,
         {hd, hd},
         0,
         {1, 2},
         "[vid1]scale=1280:720" + fast + "[m];[vid2]" + early + "scale=384:216" + fast +
             "[s1];[m][s1]overlay=864:32:eof_action=pass:eval=init[vo]"},
        // A missing view is left out; the grid pads the main view to the whole picture.
        {ViewArrangement::Grid,
         {hd, none, hd},
         0,
         {1, 0, 2},
         "[vid1]scale=640:360" + fast + ",pad=1280:720:0:0:color=black[m];[vid2]" + early +
             "scale=640:360" + fast + "[s2];[m][s2]overlay=0:360:eof_action=pass:eval=init[vo]"},
        // Another view as main: a black canvas on the clock's frames carries it to the end.
        {ViewArrangement::Main,
         {hd, hd},
         1,
         {1, 2},
         "[vid1]split[c][t1];[c]crop=2:2:0:0,drawbox=t=fill:c=black,pad=1280:720:0:0:color=black"
         "[m];[vid2]" +
             early + "scale=1280:720" + fast +
             "[s1];[m][s1]overlay=0:0:eof_action=pass:eval=init[b];[t1]" + early + "scale=384:216" +
             fast + "[s0];[b][s0]overlay=864:32:eof_action=pass:eval=init[vo]"},
        {ViewArrangement::Single,
         {hd, hd},
         1,
         {1, 2},
         "[vid1]crop=2:2:0:0,drawbox=t=fill:c=black,pad=1280:720:0:0:color=black[m];[vid2]" +
             early + "scale=1280:720" + fast +
             "[s1];[m][s1]overlay=0:0:eof_action=pass:eval=init[vo]"},
        // No graph without the main view's track.
        {ViewArrangement::Main, {hd, hd}, 1, {1, 0}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.graph);
        EXPECT_EQ(ViewLayout::Arrange(c.arrangement, c.views, c.main, 1280).FilterGraph(c.tracks),
                  c.graph);
    }
}

} // namespace
} // namespace quello
