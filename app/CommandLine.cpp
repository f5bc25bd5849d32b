#include "CommandLine.h"

#include "library/DatabaseUrl.h"

namespace quello {

PlayerOptions ParsePlayerArguments(const QStringList& arguments) {
    PlayerOptions options;
    bool optionsEnded = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (!optionsEnded && arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded &&
                   (arg == QLatin1String("--help") || arg == QLatin1String("-h"))) {
            options.help = true;
        } else if (!optionsEnded && arg == QLatin1String("--version")) {
            options.version = true;
        } else if (!optionsEnded && arg == QLatin1String("--print-layout")) {
            options.printLayout = true;
        } else if (!optionsEnded && arg == QLatin1String("--card")) {
            if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty()) {
                options.error = QStringLiteral("--card needs a folder");
                return options;
            }
            options.cardRoot = arguments[++i];
        } else if (!optionsEnded && arg.startsWith(QLatin1String("--card="))) {
            options.cardRoot = arg.mid(7);
            if (options.cardRoot.isEmpty()) {
                options.error = QStringLiteral("--card needs a folder");
                return options;
            }
        } else if (!optionsEnded && arg == QLatin1String("--library")) {
            if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty()) {
                options.error = QStringLiteral("--library needs a folder");
                return options;
            }
            options.library = arguments[++i];
        } else if (!optionsEnded && arg.startsWith(QLatin1String("--library="))) {
            options.library = arg.mid(10);
            if (options.library.isEmpty()) {
                options.error = QStringLiteral("--library needs a folder");
                return options;
            }
        } else if (!optionsEnded &&
                   (arg == QLatin1String("--db") || arg.startsWith(QLatin1String("--db=")))) {
            const bool joined = arg.size() > 4;
            if (!joined && i + 1 >= arguments.size()) {
                options.error = QStringLiteral("--db needs postgresql://USER@HOST[:PORT]/DBNAME");
                return options;
            }
            const QString text = joined ? arg.mid(5) : arguments[++i];
            std::string problem;
            if (!DatabaseUrl::Parse(text.toStdString(), problem)) {
                options.error = QStringLiteral("--db: %1").arg(QString::fromStdString(problem));
                return options;
            }
            options.database = text;
        } else if (!optionsEnded && arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            options.error = QStringLiteral("unknown option %1").arg(arg);
            return options;
        } else {
            options.paths << arg;
        }
    }
    // The list shows either the library or the movies named.
    if (!options.library.isEmpty() && !options.paths.isEmpty())
        options.error =
            QStringLiteral("--library lists the library: name no movies or folders with it");
    else if (!options.database.isEmpty() && options.library.isEmpty())
        options.error = QStringLiteral("--db names the server of a --library: give both");
    return options;
}

QString PlayerUsage() {
    return QStringLiteral(
        "Usage: quello-player [--card DIR] [MOVIE|FOLDER]...\n"
        "       quello-player [--card DIR] --library DIR [--db URL]\n"
        "       quello-player --print-layout | --version\n"
        "Plays the recordings of a car camera with their G-sensor, speed and GPS telemetry.\n"
        "  --card DIR      read the camera card at DIR instead of searching the removable "
        "drives\n"
        "  MOVIE           a movie to play; the movies of its folder join the library\n"
        "  FOLDER          a folder whose *.MOV movies are added, sorted by name\n"
        "  --library DIR   list the library of drives at DIR (made by quello import) by day;\n"
        "                  without a card, movies or folders the last library opens\n"
        "  --db URL        the library's index on a PostgreSQL server,\n"
        "                  postgresql://USER@HOST[:PORT]/DBNAME, instead of the one its\n"
        "                  library.conf names (or its library.sqlite)\n"
        "  --print-layout  print the window's control rectangles as JSON and exit\n"
        "  --version       print the program's version and exit\n");
}

} // namespace quello
