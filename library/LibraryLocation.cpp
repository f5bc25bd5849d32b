#include "LibraryLocation.h"

#include <filesystem>
#include <map>
#include <mutex>

namespace quello {
namespace {

std::mutex g_mutex;
std::map<std::string, DatabaseUrl> g_databases; // by the folder's canonical path

// One name for a folder however it was reached (relative, through links, with a trailing '/').
std::string FolderKey(const std::string& folder) {
    std::error_code ec;
    const auto path = std::filesystem::weakly_canonical(std::filesystem::absolute(folder, ec), ec);
    std::string key = ec ? folder : path.string();
    while (key.size() > 1 && key.back() == '/')
        key.pop_back();
    return key;
}

} // namespace

std::optional<DatabaseUrl> LibraryDatabase(const std::string& folder, std::string& error) {
    error.clear();
    {
        const std::lock_guard lock(g_mutex);
        if (!g_databases.empty())
            if (const auto it = g_databases.find(FolderKey(folder)); it != g_databases.end())
                return it->second;
    }
    return ReadLibraryConf(folder, error);
}

void SetLibraryDatabase(const std::string& folder, std::optional<DatabaseUrl> database) {
    const std::string key = FolderKey(folder);
    const std::lock_guard lock(g_mutex);
    if (database)
        g_databases[key] = std::move(*database);
    else
        g_databases.erase(key);
}

bool IsLibrary(const std::string& folder) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(folder + "/library.sqlite", ec) ||
        std::filesystem::exists(folder + "/library.conf", ec))
        return true;
    const std::lock_guard lock(g_mutex);
    return !g_databases.empty() && g_databases.count(FolderKey(folder)) > 0;
}

} // namespace quello
