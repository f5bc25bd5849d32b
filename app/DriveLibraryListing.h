#pragma once

#include "recordings/RecordingEntry.h"

#include <QString>

#include <memory>
#include <string>
#include <vector>

namespace quello {

// One listing of a library of drives, as its list shows it: the days and, for each, its
// recordings with their entries made ready (telemetry found, the other cameras of each moment
// found among the stored files), so that no file is read for them on the GUI thread.
// A plain value; Read runs on a worker thread.
struct DriveLibraryListing {
    struct Recording {
        RecordingEntry entry;
        QString name;     // the movie's file name
        QString timeText; // "09:41:00  1:00": its start on the camera clock and its length,
                          // then the cameras' labels for a moment of several ("  F B LR RR")
        bool isProtected = false;
        std::vector<std::string> otherViews; // the other cameras' movies of its moment
    };
    struct Day {
        QString date;
        QString summary; // the day row's text
        std::vector<Recording> recordings;
    };

    bool ok = false;
    QString error; // why the library cannot be read, when not ok
    std::vector<Day> days;

    // The days of the library at `root` with the recordings `search` finds (empty: all),
    // newest first. A folder without an index yet is an empty library.
    static std::shared_ptr<DriveLibraryListing> Read(const QString& root, const QString& search);
};

} // namespace quello
