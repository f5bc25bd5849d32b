#include "GpsFolderSettings.h"

#include "base/AtomicFile.h"
#include "base/SplitFields.h"
#include "base/WholeFile.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string_view>
#include <vector>

namespace quello {

namespace {

constexpr std::size_t kMaxFileBytes = 1u << 20;

bool IsStorablePath(const std::string& text) {
    return text.find_first_of("\t\r\n") == std::string::npos &&
           text.find('\0') == std::string::npos;
}

bool IsStorableName(const std::string& name) {
    return !name.empty() && IsStorablePath(name) && name.find('/') == std::string::npos;
}

std::string FilePath(const std::string& folder) {
    return (folder.empty() ? std::string(".") : folder) + "/" + GpsFolderSettings::kFileName;
}

} // namespace

bool GpsFolderSettings::Load(const std::string& folder) {
    *this = GpsFolderSettings{};
    m_folder = folder;
    std::string text;
    if (!ReadWholeFile(FilePath(folder), kMaxFileBytes, text))
        return false;
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::vector<std::string_view> f = SplitFields(line, '\t');
        if (f[0] == "offset" && f.size() == 3) {
            // A hand-written "+3600" counts too; from_chars takes no plus sign.
            const bool plus = f[2].size() > 1 && f[2][0] == '+' && f[2][1] != '-';
            const char* first = f[2].data() + (plus ? 1 : 0);
            const char* last = f[2].data() + f[2].size();
            std::int64_t seconds = 0;
            const auto [at, error] = std::from_chars(first, last, seconds);
            if (error == std::errc() && at == last)
                SetOffsetSeconds(std::string(f[1]), seconds);
        } else if (f[0] == "gpx" && f.size() == 3 && !f[2].empty()) {
            SetUserGpx(std::string(f[1]), std::string(f[2]));
        } else if (f[0] == "folder-gpx" && f.size() == 2) {
            SetFolderGpx(std::string(f[1]));
        }
    }
    return true;
}

bool GpsFolderSettings::Save() const {
    AtomicFile file;
    if (!file.Open(FilePath(m_folder)))
        return false;
    std::string text = "# Quello Player: GPS choices for the recordings of this folder\n";
    if (!m_folderGpx.empty())
        text += "folder-gpx\t" + m_folderGpx + "\n";
    for (const auto& [name, path] : m_gpx)
        text += "gpx\t" + name + "\t" + path + "\n";
    for (const auto& [name, seconds] : m_offsets)
        text += "offset\t" + name + "\t" + std::to_string(seconds) + "\n";
    std::fwrite(text.data(), 1, text.size(), file.stream());
    return file.Commit();
}

std::int64_t GpsFolderSettings::offsetSeconds(const std::string& movieName) const {
    const auto found = m_offsets.find(movieName);
    return found == m_offsets.end() ? 0 : found->second;
}

bool GpsFolderSettings::SetOffsetSeconds(const std::string& movieName, std::int64_t seconds) {
    if (!IsStorableName(movieName) || seconds < -kMaxOffsetSeconds || seconds > kMaxOffsetSeconds)
        return false;
    if (seconds == 0)
        m_offsets.erase(movieName);
    else
        m_offsets[movieName] = seconds;
    return true;
}

std::string GpsFolderSettings::userGpx(const std::string& movieName) const {
    const auto found = m_gpx.find(movieName);
    return Resolved(found != m_gpx.end() ? found->second : m_folderGpx);
}

bool GpsFolderSettings::SetUserGpx(const std::string& movieName, const std::string& gpxPath) {
    if (!IsStorableName(movieName) || !IsStorablePath(gpxPath))
        return false;
    if (gpxPath.empty())
        m_gpx.erase(movieName);
    else
        m_gpx[movieName] = gpxPath;
    return true;
}

bool GpsFolderSettings::SetFolderGpx(const std::string& gpxPath) {
    if (!IsStorablePath(gpxPath))
        return false;
    m_folderGpx = gpxPath;
    return true;
}

std::string GpsFolderSettings::Resolved(const std::string& path) const {
    if (path.empty() || path.front() == '/' || m_folder.empty())
        return path;
    return m_folder + "/" + path;
}

} // namespace quello
