#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quello::test {

// A fresh folder under $TMPDIR (or /tmp) for one test, removed with its content when the
// object goes, even after a test made parts of it read-only. Single-threaded use.
class TempDir {
public:
    TempDir() {
        const char* base = std::getenv("TMPDIR");
        m_path = std::string(base && *base ? base : "/tmp") + "/quello-test-XXXXXX";
        if (::mkdtemp(m_path.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed for " + m_path);
    }
    ~TempDir() {
        namespace fs = std::filesystem;
        std::error_code ec;
        fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
        for (auto it = fs::recursive_directory_iterator(m_path, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
            if (it->is_directory(ec) && !it->is_symlink(ec))
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string file(const std::string& relative) const { return m_path + "/" + relative; }

    // Create the folder `relative` with its parents, or write `content` to the file
    // `relative`; both return the full path.
    std::string makeDir(const std::string& relative) const {
        std::filesystem::create_directories(file(relative));
        return file(relative);
    }
    std::string write(const std::string& relative, std::string_view content) const {
        std::filesystem::create_directories(std::filesystem::path(file(relative)).parent_path());
        std::ofstream out(file(relative), std::ios::binary | std::ios::trunc);
        if (!out.write(content.data(), std::streamsize(content.size())))
            throw std::runtime_error("cannot write " + file(relative));
        return file(relative);
    }

    // The whole content of `path` (empty when it can't be read), and the names of everything
    // directly inside `folder`, hidden files included.
    static std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static std::set<std::string> entries(const std::string& folder) {
        std::set<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder))
            names.insert(e.path().filename().string());
        return names;
    }
    std::set<std::string> entries() const { return entries(m_path); }

private:
    std::string m_path;
};

} // namespace quello::test
