#include "EvidenceCommand.h"

namespace quello {

const char* EvidenceCommand::summary() const {
    return "write the evidence pack of one moment of a movie into a folder";
}

std::string EvidenceCommand::help() const {
    return "usage: quello evidence MOVIE --at SECONDS -o DIR [--clip-seconds N]\n\n"
           "Writes into DIR, a new or empty folder, what an insurer or the police need of that\n"
           "moment: bit-for-bit copies of MOVIE and its telemetry file (checked by SHA-256 after\n"
           "copying), the snapshot of the frame (snapshot.jpg, as `quello snapshot` makes it),\n"
           "the printed page (page.pdf, as `quello print` makes it), the GPS track (track.gpx,\n"
           "track.kml), the G-force events at the card's sensitivity (events.csv), README.txt\n"
           "and MANIFEST.sha256 (check with `sha256sum -c MANIFEST.sha256` in DIR). A movie\n"
           "without telemetry gives a pack without the telemetry files. --clip-seconds N adds\n"
           "clip.MOV, the N seconds before and after the moment cut without re-encoding (as\n"
           "`quello clip` cuts them, across the recordings of the movie's trip, shorter where\n"
           "the trip begins or ends), with clip.DAT or clip.gpx, its telemetry or GPS.\n"
           "Of a moment several cameras recorded (see quello info), every camera's movie is\n"
           "copied under its own name and listed in README.txt and MANIFEST.sha256; MOVIE, any\n"
           "of them, gives the snapshot and page, the main camera its telemetry.\n\n"
           "The pack is built in a hidden folder beside DIR and renamed into place: it appears\n"
           "whole or not at all. --output is the long form of -o. Exit code 0 only when the pack\n"
           "was written; 1, writing nothing, when DIR exists and is not empty, its disk lacks\n"
           "room for the copies, the movie cannot be played there or any file fails.\n";
}

} // namespace quello
