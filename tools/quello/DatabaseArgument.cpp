#include "DatabaseArgument.h"

#include <ostream>

namespace quello {

bool DatabaseArgument(const char* command, const CommandLine& line,
                      std::optional<DatabaseUrl>& database, std::ostream& err) {
    database.reset();
    const auto text = line.option("db");
    if (!text)
        return true;
    std::string error;
    database = DatabaseUrl::Parse(*text, error);
    if (!database)
        err << "quello " << command << ": --db: " << error << "\n";
    return database.has_value();
}

bool LibraryArguments(const char* command, const std::vector<std::string>& args,
                      std::string& folder, std::optional<DatabaseUrl>& database,
                      std::ostream& err) {
    const CommandLine line(args, {"db"});
    if (!line.ok() || line.positional().size() != 1) {
        err << "quello " << command << ": "
            << (line.ok() ? "give exactly one library folder" : line.error()) << " (usage: quello "
            << command << " LIBRARY [--db URL])\n";
        return false;
    }
    folder = line.positional().front();
    return DatabaseArgument(command, line, database, err);
}

} // namespace quello
