#include "PrintCommand.h"

namespace quello {

const char* PrintCommand::summary() const {
    return "print the page of one moment of a movie into a PDF file";
}

std::string PrintCommand::help() const {
    return "usage: quello print MOVIE --at SECONDS -o OUT.pdf\n\n"
           "Opens MOVIE and its telemetry file (found as the player finds it), seeks exactly\n"
           "to SECONDS and prints the page the player's print button makes there: the frame,\n"
           "the G-sensor values, speed and position of that second and the waveform strip,\n"
           "as a one-page A4 PDF at 300 dpi (an existing file is replaced; on failure no file\n"
           "is left). Of a moment several cameras recorded, any camera's file prints its own\n"
           "frame with the main camera's telemetry and clock.\n"
           "--output is the long form of -o. Exit code 0 only when the PDF was\n"
           "written; 1 when the movie could not be played, SECONDS lies past its end or the\n"
           "file cannot be written.\n";
}

} // namespace quello
