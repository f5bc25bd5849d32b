#pragma once

#include <QString>
#include <QStringList>

namespace quello {

// What the player is asked to do at start:
// quello-player [--card DIR] [MOVIE|FOLDER]... | [--card DIR] --library DIR [--db URL]
struct PlayerOptions {
    QString cardRoot;         // explicit camera card folder; empty = search the removable drives
    QString library;          // a library of drives to list; empty = none named
    QString database;         // --db: the server of the library's index; empty = as it says
    QStringList paths;        // movies and folders to add at start, in the order given
    bool help = false;        // --help / -h
    bool printLayout = false; // --print-layout
    bool version = false;     // --version
    QString error;            // non-empty when the arguments cannot be used
};

// Parses the arguments after the program name. "--" ends the options.
PlayerOptions ParsePlayerArguments(const QStringList& arguments);

// The one-paragraph usage text printed by --help and after an argument error.
QString PlayerUsage();

} // namespace quello
