#include "SnapshotCommand.h"

namespace quello {

const char* SnapshotCommand::summary() const {
    return "save one frame of a movie as a JPEG file";
}

std::string SnapshotCommand::help() const {
    return "usage: quello snapshot MOVIE --at SECONDS [--camera NAME|all] -o OUT.jpg\n\n"
           "Opens MOVIE, seeks exactly to SECONDS (a decimal number, 0 up to the movie's\n"
           "length) and writes the frame shown there to OUT.jpg (an existing file is\n"
           "replaced). Its Exif block holds the camera clock at that moment and, when the\n"
           "telemetry beside the movie has a fix for that second, the GPS position, speed and\n"
           "heading. Of a moment several cameras recorded (see quello info), any camera's file\n"
           "shows its own picture with the main camera's clock and telemetry.\n"
           "--camera NAME takes the picture of that camera's file of the moment instead: NAME\n"
           "is a camera (front, rear, back, left_repeater, ...) or its label (F, R, B, LR, ...),\n"
           "in any case; a camera the moment lacks is refused, naming its cameras.\n"
           "--camera all writes one picture of every camera at that time, the main camera\n"
           "first: two side by side, three or four as 2 x 2, five or six as 3 x 2, each view\n"
           "fitted into a cell of the main camera's picture shape, the whole as wide as the\n"
           "main camera's picture; a camera whose file ends before shows \"No picture\".\n"
           "--output is the long form of -o. Exit code 0 only when the file was written; 1,\n"
           "writing nothing, when the movie could not be played, has no picture there or\n"
           "--camera names none of its moment's cameras.\n";
}

} // namespace quello
