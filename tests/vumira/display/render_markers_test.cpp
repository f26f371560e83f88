// Peak markers: "dot" markers across their band, the connected line of
// "line" from the left edge, and connected markers without a start for any
// other text. Window 12 by 10 with e = 1 and 4 bands: band edges 1, 3, 6, 8,
// 11 and base line 9, so a peak of p sits on row 9 - p. Lines leave out
// their end point and follow the nearest pixel to the true line (no slope
// below meets an exact half).
#include "display_fixture.h"

namespace displaytest {
namespace {

class RenderMarkers : public PluginWindowTest {
protected:
    void markerWindow(int freqMin, const char* peakType) {
        createFrameWindow(12, 10, 1, freqMin, freqMin + 4, "h");
        plugin.peakMarkers = true;
        vumira::copyText(plugin.peakType, peakType);
    }
};

TEST_F(RenderMarkers, DotsCoverTheirBandOverTheBar) {
    markerWindow(0, "dot");
    setBars(0, {1, 0, 2, 5});
    setPeaks(0, {2, 5, 3, 1});  // rows 7, 4, 6, 8
    paint();
    EXPECT_EQ(backBuffer(), rows({"............",
                                  "............",
                                  "............",
                                  "............",
                                  "...ppp......",
                                  "........###.",
                                  "......pp###.",
                                  ".pp.....###.",
                                  "......##ppp.",
                                  ".##...#####."}));
}

TEST_F(RenderMarkers, LineFromBandZeroRunsFromTheLeftEdgeToTheEndOfBandOne) {
    markerWindow(0, "line");
    setPeaks(0, {2, 5, 3, 1});  // rows 7, 4, 6, 8
    paint();
    // Start (1, 7); band 0 is skipped; then to (6, 4), (8, 6) and (11, 8).
    EXPECT_EQ(backBuffer(), rows({"............",
                                  "............",
                                  "............",
                                  "............",
                                  "......p.....",
                                  "....pp.p....",
                                  "..pp....p...",
                                  ".p.......pp.",
                                  "............",
                                  "............"}));
}

TEST_F(RenderMarkers, LineFromBandOneFirstRunsLevelAcrossIt) {
    markerWindow(1, "line");
    setPeaks(1, {2, 5, 3, 1});  // rows 7, 4, 6, 8
    paint();
    // Start (1, 7); then to (3, 7), (6, 4), (8, 6) and (11, 8).
    EXPECT_EQ(backBuffer(), rows({"............",
                                  "............",
                                  "............",
                                  "............",
                                  "......p.....",
                                  ".....p.p....",
                                  "....p...p...",
                                  ".ppp.....pp.",
                                  "............",
                                  "............"}));
}

TEST_F(RenderMarkers, OtherTextsConnectFromWhereTheLastFrameEnded) {
    // "Dot" is not "dot": connected markers, and, not being "line", no
    // start move. The first frame starts at (0, 0) of the fresh back
    // buffer, the next where the first one ended, (11, 7).
    markerWindow(1, "Dot");
    setPeaks(1, {2, 5, 3, 2});  // rows 7, 4, 6, 7
    paint();
    EXPECT_EQ(backBuffer(), rows({"p...........",
                                  "p...........",
                                  ".p..........",
                                  ".p..........",
                                  "..p...p.....",
                                  "..p..p.p....",
                                  "...pp...pp..",
                                  "...p......p.",
                                  "............",
                                  "............"}));
    paint();
    EXPECT_EQ(backBuffer(), rows({"............",
                                  "............",
                                  "............",
                                  "............",
                                  "......p.....",
                                  ".....p.p....",
                                  "....p...pp..",
                                  "...ppppppppp",
                                  "............",
                                  "............"}));
}

TEST_F(RenderMarkers, NoMarkersWhenTheyAreOff) {
    markerWindow(0, "dot");
    plugin.peakMarkers = false;
    setBars(0, {1, 0, 0, 0});
    setPeaks(0, {2, 5, 3, 1});
    paint();
    EXPECT_EQ(backBuffer(), rows({"............",
                                  "............",
                                  "............",
                                  "............",
                                  "............",
                                  "............",
                                  "............",
                                  "............",
                                  "............",
                                  ".##........."}));
}

TEST_F(RenderMarkers, StackedMarkersAreColumns) {
    // Stacked, 12 by 10, e = 1: size 2, band k on rows 1 + 2k and 2 + 2k;
    // a peak of p sits on column 1 + p.
    markerWindow(0, "dot");
    plugin.scopeType.set("v");
    setPeaks(0, {3, 3, 8, 8});  // columns 4, 4, 9, 9
    paint();
    EXPECT_EQ(backBuffer(), rows({"............",
                                  "....p.......",
                                  "....p.......",
                                  "....p.......",
                                  "....p.......",
                                  ".........p..",
                                  ".........p..",
                                  ".........p..",
                                  ".........p..",
                                  "............"}));

    // "line": from (4, 1), the top at band 0's column, down to the end of
    // each band from band 1 on: (4, 5), (9, 7), (9, 9).
    vumira::copyText(plugin.peakType, "line");
    paint();
    EXPECT_EQ(backBuffer(), rows({"............",
                                  "....p.......",
                                  "....p.......",
                                  "....p.......",
                                  "....p.......",
                                  "....pp......",
                                  "......pp....",
                                  "........pp..",
                                  ".........p..",
                                  "............"}));
}

}  // namespace
}  // namespace displaytest
