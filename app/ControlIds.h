#pragma once

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

} // namespace quello
