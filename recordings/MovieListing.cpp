#include "MovieListing.h"

#include "base/Utf8Text.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace quello {

namespace {

unsigned char FoldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

bool EndsWithMovExtension(const std::string& name) {
    if (name.size() < 4)
        return false;
    const char* ext = name.c_str() + name.size() - 4;
    static const char kWanted[] = ".mov";
    for (int i = 0; i < 4; ++i) {
        if (FoldAscii(static_cast<unsigned char>(ext[i])) != static_cast<unsigned char>(kWanted[i]))
            return false;
    }
    return true;
}

} // namespace

std::vector<std::string> ListMovieFiles(const std::string& folder) {
    std::vector<std::string> paths;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    if (ec)
        return paths;
    std::string prefix = folder;
    if (!prefix.empty() && prefix.back() != '/')
        prefix += '/';
    for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        const std::string name = it->path().filename().string();
        if (!EndsWithMovExtension(name))
            continue;
        std::error_code statError;
        if (it->is_directory(statError))
            continue;
        paths.push_back(prefix + name);
    }
    return paths;
}

void SortFolderOrder(std::vector<std::string>& paths) {
    std::sort(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) {
        const bool less = std::lexicographical_compare(
            a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
                return FoldAscii(static_cast<unsigned char>(x)) <
                       FoldAscii(static_cast<unsigned char>(y));
            });
        const bool greater = std::lexicographical_compare(
            b.begin(), b.end(), a.begin(), a.end(), [](char x, char y) {
                return FoldAscii(static_cast<unsigned char>(x)) <
                       FoldAscii(static_cast<unsigned char>(y));
            });
        if (less || greater)
            return less;
        return a < b;
    });
}

void SortCardOrder(std::vector<std::string>& paths) {
    // std::string compares as unsigned char through char_traits, i.e. by character code.
    std::sort(paths.begin(), paths.end());
}

std::vector<std::string> CardMediaFolders(const std::string& root) {
    std::vector<std::string> folders;
    for (int n = 0; n <= 4; ++n) {
        std::string folder = root + "DCIM/10" + std::to_string(n) + "MEDIA";
        std::error_code ec;
        if (std::filesystem::is_directory(folder, ec))
            folders.push_back(std::move(folder));
    }
    return folders;
}

bool IsDroppedMovieName(const std::string& path) {
    if (Utf8Length(path) < 8 || path.size() < 4)
        return false;
    const std::string ext = path.substr(path.size() - 4);
    return ext == ".MOV" || ext == ".mov";
}

} // namespace quello
