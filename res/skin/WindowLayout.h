// The main window's template: every control's id and place, the skin bitmaps each skinned
// control wears, and the fixed points of the artwork (panel top, gauge centres). The one
// source of these numbers for the window, the artwork, the panel, the tools and the tests.
// Header-only constant data; usable from any thread.
#pragma once

#include "DialogUnitRect.h"

#include <QPoint>
#include <QRect>

namespace quello {

// Numeric ids of the main window's controls and commands. Every widget carries its id as
// objectName "ctl<id>" so routing code and tests address controls the way the window's
// command tables do.
enum ControlId : int {
    kIdClose = 1,
    kIdVideo = 1000,
    kIdPlay = 1001,
    kIdStop = 1002,
    kIdStepBack = 1003,
    kIdStepForward = 1004,
    kIdPrevious = 1005,
    kIdNext = 1006,
    kIdPause = 1007,
    kIdRate2 = 1008,
    kIdRate4 = 1009,
    kIdRateMinus2 = 1010,
    kIdRateMinus4 = 1011,
    kIdUnused1017 = 1017,
    kIdPosition = 1018,
    kIdLibrary = 1021,
    kIdAddFile = 1022,
    kIdAddFolder = 1023,
    kIdWaveform = 1024,
    kIdMapHost = 1025,
    kIdSnapshot = 1028,
    kIdSettings = 1029,
    kIdPrint = 1030,
    kIdRecycle = 1041,
    kIdRemove = 1042,
    kIdClear = 1043,
    kIdSecondMonitor = 1047,
    kIdVolume = 1050,
    kIdVolumeMinusLabel = 1051,
    kIdVolumePlusLabel = 1052,
    kIdTitleImage = 1053,
    kIdTitleText = 1054,
    kIdMinimize = 1055,
    kIdSlower = 1057,
    kIdFaster = 1058,
    kIdSpeedText = 1059,
    kIdRate = 1060,
    kIdPanel = 1061,
    kIdKml = 1062,
    // Commands of the library's popup menu.
    kCmdRemove = 32773,
    kCmdRemoveFiles = 32775,
    // The about item of the window menu.
    kCmdAbout = 16,
};

// Resource ids of the skin's bitmaps.
enum SkinBitmapId : int {
    kBmpClose = 134,
    kBmpClear = 135,
    kBmpAddFolder = 136,
    kBmpMinimize = 137,
    kBmpNext = 138,
    kBmpPause = 139,
    kBmpPlay = 140,
    kBmpPrevious = 141,
    kBmpStop = 142,
    kBmpSnapshot = 143,
    kBmpPrint = 144,
    kBmpSettings = 145,
    kBmpSliderThumb = 146,
    kBmpFaster = 147,
    kBmpSlower = 148,
    kBmpBackground = 149,
    kBmpTitleBand = 150,
    kBmpPanel = 151,
    kBmpKml = 152,
    kBmpCompassNeedle = 153,
};

inline constexpr int kWindowWidth = 1024;
inline constexpr int kWindowHeight = 768;
inline constexpr int kTitleBandHeight = 24; // the title band picture
inline constexpr int kTitleDragHeight = 25; // a press at client y <= 25 drags the window
inline constexpr int kPanelHeight = 247;    // the dashboard panel, at the window's foot
inline constexpr int kPanelTop = kWindowHeight - kPanelHeight;
inline constexpr int kBackgroundHeight = kPanelTop - kTitleBandHeight;

// The gauges, in panel pixels: the speed needle turns about the dial's centre; the compass
// needle's rotated square is drawn from a fixed corner (its centre is the rose's centre) and a
// heading change repaints the box below, the old needle with it.
inline constexpr QPoint kSpeedDialCentreInPanel{767, 89};
inline constexpr QPoint kCompassCentreInPanel{931, 90};
inline constexpr QPoint kCompassOriginInPanel{881, 40};
inline constexpr QRect kCompassBoxInPanel{QPoint(881, 40), QPoint(1099, 199)};
// The speed needle's centre in window pixels.
inline constexpr QPoint kSpeedNeedleCentre = kSpeedDialCentreInPanel + QPoint(0, kPanelTop);

// The skinned buttons: id, pixel rectangle, skin bitmap. Play and pause share one place;
// the window shows one of them.
struct SkinnedButtonPlace {
    int id;
    QRect rect;
    int bitmap;
};
inline constexpr SkinnedButtonPlace kSkinnedButtons[] = {
    {kIdMinimize, {935, 0, 24, 16}, kBmpMinimize},
    {kIdClose, {960, 0, 41, 16}, kBmpClose},
    {kIdAddFolder, {696, 44, 50, 20}, kBmpAddFolder},
    {kIdClear, {747, 44, 50, 20}, kBmpClear},
    {kIdStop, {187, 724, 25, 25}, kBmpStop},
    {kIdPrevious, {215, 724, 51, 24}, kBmpPrevious},
    {kIdPlay, {267, 716, 41, 41}, kBmpPlay},
    {kIdPause, {267, 716, 41, 41}, kBmpPause},
    {kIdNext, {309, 724, 51, 24}, kBmpNext},
    {kIdSlower, {413, 721, 34, 27}, kBmpSlower},
    {kIdFaster, {593, 721, 32, 27}, kBmpFaster},
    {kIdKml, {780, 715, 50, 52}, kBmpKml},
    {kIdPrint, {838, 715, 50, 52}, kBmpPrint},
    {kIdSnapshot, {894, 715, 50, 52}, kBmpSnapshot},
    {kIdSettings, {950, 715, 50, 52}, kBmpSettings},
};

// Plain buttons at their dialog-unit places. Several land outside the 1024 x 768 window, as
// they always did; their commands stay reachable from the keyboard, the library's menu, drops
// and the folder button.
struct PlainButtonPlace {
    int id;
    const char* text;
    DialogUnitRect rect;
    bool visible;
};
inline constexpr PlainButtonPlace kPlainButtons[] = {
    {kIdStepBack, "|<", {0, 453, 15, 14}, true},
    {kIdStepForward, "|>", {43, 454, 15, 14}, true},
    {kIdRate2, ">>", {29, 453, 15, 14}, true},
    {kIdRate4, "4X", {462, 452, 19, 14}, false},
    {kIdRateMinus2, "<<", {14, 453, 15, 14}, true},
    {kIdRateMinus4, "-4X", {443, 452, 18, 14}, false},
    {kIdAddFile, "+", {585, 25, 13, 12}, true},
    {kIdRemove, "-", {585, 39, 13, 12}, true},
    {kIdSecondMonitor, ">>> To Sec Monitor", {512, 25, 59, 13}, false},
};

// The other controls. Sliders are placed in pixels, the rest in dialog units.
inline constexpr QRect kTitleImageRect{0, 0, kWindowWidth, kTitleBandHeight};
inline constexpr QRect kPanelRect{0, kPanelTop, kWindowWidth, kPanelHeight};
inline constexpr QRect kPositionSliderRect{30, 525, 636, 20};
inline constexpr QRect kVolumeSliderRect{35, 727, 81, 20};
inline constexpr QRect kRateSliderRect{444, 727, 154, 20};
inline constexpr DialogUnitRect kTitleTextRect{19, 3, 36, 8};
inline constexpr DialogUnitRect kVideoRect{10, 22, 365, 273};
inline constexpr DialogUnitRect kUnused1017Rect{482, 452, 39, 14};
inline constexpr DialogUnitRect kVolumeMinusLabelRect{12, 442, 8, 8};
inline constexpr DialogUnitRect kVolumePlusLabelRect{68, 442, 8, 8};
inline constexpr DialogUnitRect kRecycleRect{464, 27, 43, 9};
inline constexpr DialogUnitRect kLibraryRect{387, 49, 187, 94};
inline constexpr DialogUnitRect kMapHostRect{387, 150, 187, 145};
inline constexpr DialogUnitRect kSpeedTextRect{469, 395, 34, 8};
// The waveform strip (control 1024). The printed page stretches an image of the strip at
// this size, also when it is drawn without the window.
inline constexpr DialogUnitRect kWaveformTemplateRect{9, 314, 367, 81};

} // namespace quello
