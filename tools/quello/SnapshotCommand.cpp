#include "SnapshotCommand.h"

namespace quello {

const char* SnapshotCommand::summary() const {
    return "save one frame of a movie as a JPEG file";
}

std::string SnapshotCommand::help() const {
    return "usage: quello snapshot MOVIE --at SECONDS -o OUT.jpg\n\n"
           "Opens MOVIE, seeks exactly to SECONDS (a decimal number, 0 up to the movie's\n"
           "length) and writes the frame shown there to OUT.jpg (an existing file is\n"
           "replaced). Its Exif block holds the camera clock at that moment and, when the\n"
           "telemetry beside the movie has a fix for that second, the GPS position, speed and\n"
           "heading. --output is the long form of -o. Exit code 0 only when the file was\n"
           "written; 1 when the movie could not be played or has no picture there.\n";
}

} // namespace quello
