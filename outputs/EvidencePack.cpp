#include "outputs/EvidencePack.h"

#include "clips/LosslessClip.h"

#include "outputs/MomentFacts.h"
#include "outputs/PrintPage.h"
#include "outputs/TelemetryGpxWriter.h"
#include "outputs/TelemetryKmlWriter.h"
#include "playback/CMediaGraph.h"
#include "recordings/MovieHeader.h"
#include "recordings/TelemetryParser.h"
#include "recordings/TelemetrySet.h"
#include "recordings/base/AtomicFile.h"
#include "recordings/base/FileWrite.h"
#include "recordings/base/Sha256.h"

#include "quello/Version.h"

#include <QDateTime>
#include <QFile>
#include <QPrinter>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace quello {

namespace {

namespace fs = std::filesystem;

constexpr const char* kSnapshot = "snapshot.jpg";
constexpr const char* kPage = "page.pdf";
constexpr const char* kGpx = "track.gpx";
constexpr const char* kKml = "track.kml";
constexpr const char* kEvents = "events.csv";
constexpr const char* kReadme = "README.txt";
constexpr const char* kManifest = "MANIFEST.sha256";
constexpr const char* kClip = "clip.MOV";
constexpr std::size_t kChunk = std::size_t(1) << 20;

// Where a pack for `dir` goes: DIR's absolute path, its parent and its own name.
struct Target {
    std::string dir, parent, name;
};

bool ResolveTarget(const std::string& dir, Target& target) {
    if (dir.empty())
        return false;
    std::error_code ec;
    fs::path path = fs::absolute(fs::path(dir).lexically_normal(), ec);
    if (ec)
        return false;
    if (path.filename().empty())
        path = path.parent_path();
    target = {path.string(), path.parent_path().string(), path.filename().string()};
    return !target.name.empty() && target.name != "." && target.name != "..";
}

std::string ErrnoText() {
    return std::strerror(errno);
}

std::string Megabytes(std::uint64_t bytes) {
    return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MB";
}

std::string Fixed(double value, int decimals) {
    char text[64];
    const auto [end, ec] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return ec == std::errc() ? std::string(text, end) : std::string();
}

std::string HashFile(const std::string& path, const volatile std::sig_atomic_t* stop) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    // OpenSSL's SHA-256 uses the processor's SHA instructions: hashing a movie twice costs
    // less than copying it.
    Sha256 hash;
    std::vector<char> buffer(kChunk);
    bool read = true;
    for (;;) {
        if (stop && *stop) {
            read = false;
            break;
        }
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n == 0)
            break;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || !hash.Update(buffer.data(), std::size_t(n))) {
            read = false;
            break;
        }
    }
    ::close(fd);
    return read ? hash.FinalHex() : std::string();
}

// Copies `in` from its offset to its end onto `out`: inside the kernel where the two file
// systems allow it, else through a buffer. False with errno set on an error, or on a stop.
bool CopyBytes(int in, int out, const volatile std::sig_atomic_t* stop) {
    bool inKernel = true;
    std::vector<char> buffer;
    for (;;) {
        if (stop && *stop)
            return false;
        ssize_t n = 0;
        if (inKernel) {
            n = ::copy_file_range(in, nullptr, out, nullptr, kChunk * 8, 0);
            if (n < 0 &&
                (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
                inKernel = false;
                continue;
            }
        } else {
            buffer.resize(kChunk);
            n = ::read(in, buffer.data(), buffer.size());
            if (n > 0 && !WriteFully(out, buffer.data(), std::size_t(n)))
                return false;
        }
        if (n == 0)
            return true;
        if (n < 0 && errno != EINTR)
            return false;
    }
}

bool SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

// A line as `sha256sum` writes it: a name holding a backslash or a line break is escaped, and
// the line then starts with a backslash, so that any name the originals have checks out.
std::string ManifestLine(const std::string& hash, const std::string& name) {
    std::string escaped;
    for (const char c : name)
        escaped += c == '\\' ? "\\\\" : c == '\n' ? "\\n" : std::string(1, c);
    return (escaped == name ? "" : "\\") + hash + "  " + escaped + "\n";
}

std::string FileName(const std::string& path) {
    return fs::path(path).filename().string();
}

} // namespace

EvidencePack::EvidencePack(EvidenceMoment moment) : m_moment(std::move(moment)) {}

bool EvidencePack::Fail(std::string message) {
    m_error = std::move(message);
    return false;
}

bool EvidencePack::Stopped() {
    if (!m_stop || !*m_stop)
        return false;
    return !Fail("the export was interrupted");
}

bool EvidencePack::Check(const std::string& dir) {
    m_error.clear();
    Target target;
    if (!ResolveTarget(dir, target))
        return Fail("'" + dir + "' does not name a folder");
    struct stat st {};
    if (::stat(target.parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return Fail(target.parent + ": no such folder");
    if (::lstat(target.dir.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode))
            return Fail(dir + ": exists and is not a folder");
        std::error_code ec;
        if (fs::directory_iterator(target.dir, ec) != fs::directory_iterator() || ec)
            return Fail(dir + ": the folder is not empty (an evidence pack goes into a new or "
                              "empty folder)");
    } else if (errno != ENOENT) {
        return Fail(dir + ": " + ErrnoText());
    }

    std::vector<std::string> names = {kSnapshot, kPage, kGpx, kKml, kEvents, kReadme, kManifest};
    if (m_moment.clipSeconds > 0)
        names.insert(names.end(), {kClip, "clip.DAT", "clip.gpx"});
    if (m_moment.moviePath.empty())
        return Fail("no movie given");
    std::uint64_t copies = 0;
    for (const std::string& original : Originals()) {
        if (::stat(original.c_str(), &st) != 0)
            return Fail(original + ": " + ErrnoText());
        if (!S_ISREG(st.st_mode))
            return Fail(original + ": not a regular file");
        for (const std::string& name : names)
            if (name == FileName(original))
                return Fail(original + ": its name is taken by a file of the pack");
        names.push_back(FileName(original));
        copies += std::uint64_t(st.st_size);
    }
    m_clip = ClipSpan{};
    if (m_moment.clipSeconds > 0) {
        // The clip is cut short where the trip begins or ends rather than refused.
        m_clipFrom = m_moment.seconds - m_moment.clipSeconds;
        m_clipTo = m_moment.seconds + m_moment.clipSeconds;
        m_clip = FindClipSpan(m_moment.moviePath, m_clipFrom, m_clipTo);
        if (!m_clip.ok && m_clip.tripEnd > m_clip.tripStart) {
            m_clipFrom = std::max(m_clipFrom, m_clip.tripStart);
            m_clipTo = std::min(m_clipTo, m_clip.tripEnd);
            m_clip = FindClipSpan(m_moment.moviePath, m_clipFrom, m_clipTo);
        }
        if (!m_clip.ok)
            return Fail("the clip: " + m_clip.error);
        // A clip's bytes follow its share of each recording's time.
        for (const ClipPiece& piece : m_clip.pieces) {
            std::tm created{};
            std::uint32_t length = 0;
            int readOnly = 0;
            ReadMovieHeader(piece.moviePath, created, length, readOnly);
            if (::stat(piece.moviePath.c_str(), &st) == 0)
                copies += std::uint64_t(
                    double(st.st_size) *
                    std::min(1.0, (piece.to - piece.from + 1) / std::max(1.0, double(length))));
        }
    }
    struct statvfs disk {};
    if (::statvfs(target.parent.c_str(), &disk) != 0)
        return Fail(target.parent + ": " + ErrnoText());
    const std::uint64_t free = std::uint64_t(disk.f_bavail) * disk.f_frsize;
    if (free < copies + kRoomMargin)
        return Fail(target.parent + ": not enough room on its disk (the pack needs " +
                    Megabytes(copies + kRoomMargin) + ", " + Megabytes(free) + " free)");
    return true;
}

bool EvidencePack::Write(const std::string& dir, CMediaGraph& engine, const PrintPageContent& page,
                         const TelemetrySet& telemetry) {
    m_files.clear();
    m_hashes.clear();
    if (!Check(dir))
        return false;
    Target target;
    ResolveTarget(dir, target);
    // The pack keeps the mode of the empty folder it replaces; a new one gets the usual mode.
    struct stat st {};
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const mode_t mode = ::stat(target.dir.c_str(), &st) == 0 ? st.st_mode & 07777 : 0777 & ~mask;

    std::string folder = target.parent + "/." + target.name + ".partial-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr)
        return Fail(target.parent + ": cannot create a folder there: " + ErrnoText());
    bool placed = Build(folder, engine, page, telemetry);
    if (placed && ::chmod(folder.c_str(), mode) != 0)
        placed = Fail(folder + ": " + ErrnoText());
    if (placed && Stopped())
        placed = false;
    if (placed && ::rename(folder.c_str(), target.dir.c_str()) != 0) {
        placed = Fail(errno == ENOTEMPTY || errno == EEXIST
                          ? dir + ": files arrived in the folder while exporting; nothing replaced"
                          : dir + ": " + ErrnoText());
    }
    if (!placed) {
        std::error_code ec;
        fs::remove_all(folder, ec);
        m_files.clear();
        return false;
    }
    // The pack is in place; a folder that cannot be synced does not undo that.
    SyncFolder(target.parent);
    return true;
}

bool EvidencePack::Build(const std::string& folder, CMediaGraph& engine,
                         const PrintPageContent& page, const TelemetrySet& shown) {
    m_madeAt = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
    for (const std::string& original : Originals()) {
        std::string hash;
        if (!CopyVerified(original, folder + "/" + FileName(original), hash))
            return false;
        m_files.push_back(FileName(original));
        m_hashes.push_back(hash);
    }
    if (m_clip.ok && !WriteClip(folder))
        return false;
    // From the verified copy: the tracks and the events show what the pack's telemetry file
    // holds.
    auto telemetry = std::make_unique<TelemetrySet>(); // about 54 KB: kept off the stack
    const std::string copy = folder + "/" + FileName(m_moment.telemetryPath);
    if (!m_moment.telemetryPath.empty() && !ParseTelemetryFile(copy, *telemetry))
        return Fail(FileName(copy) + ": cannot be read as telemetry");
    if (Stopped())
        return false;
    // The snapshot carries the Exif facts the player's snapshot gives the same frame, from the
    // telemetry the player shows (which may be GPS from another source than a telemetry file).
    std::tm created{};
    std::uint32_t duration = 0;
    int readOnly = 0;
    ReadMovieHeader(MainMovie(), created, duration, readOnly);
    const SnapshotFacts facts =
        FactsForMoment(created, created.tm_mday != 0, engine.GetPositionSeconds(), shown);
    if (engine.SaveFrameAsJpeg(QFile::decodeName((folder + "/" + kSnapshot).c_str()), facts) != 1)
        return Fail("the frame on screen could not be saved as " + std::string(kSnapshot));
    m_files.push_back(kSnapshot);

    QPrinter printer(QPrinter::HighResolution);
    SetUpPagePdfPrinter(printer);
    if (Stopped() || !SavePrintPagePdf(printer, page, folder + "/" + kPage))
        return m_error.empty() ? Fail("the printed page could not be written") : false;
    m_files.push_back(kPage);

    m_otherSource = m_moment.telemetryPath.empty() && (shown.fixCount > 0 || shown.sampleCount > 0);
    if ((!m_moment.telemetryPath.empty() || m_otherSource) &&
        !WriteTracks(folder, m_otherSource ? shown : *telemetry))
        return false;
    if (!WriteText(folder + "/" + kReadme, ReadmeText()))
        return false;
    m_files.push_back(kReadme);

    std::string manifest;
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        if (i >= m_hashes.size())
            m_hashes.push_back(HashFile(folder + "/" + m_files[i], m_stop));
        if (m_hashes[i].empty())
            return !Stopped() && Fail(m_files[i] + ": cannot be read back");
        manifest += ManifestLine(m_hashes[i], m_files[i]);
    }
    if (!WriteText(folder + "/" + kManifest, manifest))
        return false;
    m_files.push_back(kManifest);
    if (!SyncFolder(folder))
        return Fail(folder + ": cannot be synced to disk: " + ErrnoText());
    return true;
}

// The movie shown, the telemetry, then the other cameras' movies: the files copied as they are.
std::vector<std::string> EvidencePack::Originals() const {
    std::vector<std::string> originals = {m_moment.moviePath};
    if (!m_moment.telemetryPath.empty())
        originals.push_back(m_moment.telemetryPath);
    for (const std::string& movie : m_moment.cameraMovies)
        if (movie != m_moment.moviePath)
            originals.push_back(movie);
    return originals;
}

const std::string& EvidencePack::MainMovie() const {
    return m_moment.cameraMovies.empty() ? m_moment.moviePath : m_moment.cameraMovies.front();
}

bool EvidencePack::CopyVerified(const std::string& from, const std::string& to, std::string& hash) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return Fail(from + ": " + ErrnoText());
    struct stat st {};
    const int out = ::fstat(in, &st) == 0
                        ? ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644)
                        : -1;
    if (out < 0) {
        ::close(in);
        return Fail(FileName(to) + ": cannot create the copy: " + ErrnoText());
    }
    bool copied = CopyBytes(in, out, m_stop) ||
                  Fail(FileName(to) + ": cannot copy " + from + ": " + ErrnoText());
    ::close(in);
    // The copy carries the original's modification time, as the camera wrote it.
    const timespec times[2] = {st.st_atim, st.st_mtim};
    copied = copied && !Stopped() &&
             ((::futimens(out, times) == 0 && ::fsync(out) == 0) ||
              Fail(FileName(to) + ": cannot be synced to disk: " + ErrnoText()));
    // Dropped from the page cache, the copy is read back from the disk itself.
    if (copied)
        ::posix_fadvise(out, 0, 0, POSIX_FADV_DONTNEED);
    ::close(out);
    if (!copied)
        return false;
    // The original and the copy are each read again on their own and hashed side by side, on
    // two cores: what is compared is what each file holds, not what passed through a buffer.
    auto original = std::async(std::launch::async, HashFile, from, m_stop);
    const std::string back = HashFile(to, m_stop);
    hash = original.get();
    if (hash.empty() || back.empty())
        return !Stopped() && Fail(FileName(to) + ": the original or its copy cannot be read back");
    if (back != hash)
        return Fail(FileName(to) + ": the copy differs from the original");
    return true;
}

bool EvidencePack::WriteTracks(const std::string& folder, const TelemetrySet& set) {
    const std::string name = fs::path(MainMovie()).stem().string();
    std::ostringstream gpx, kml;
    WriteTelemetryGpx(gpx, set, name);
    WriteTelemetryKml(kml, set, name);
    std::string csv = "start_s,peak_s,end_s,kind,peak_g\n";
    for (const GForceEvent& e : FindGForceEvents(set.samples, set.sampleCount, m_moment.thresholds))
        csv += Fixed(e.start, 1) + "," + Fixed(e.peak, 1) + "," + Fixed(e.end, 1) + "," +
               GForceKindName(e.kind) + "," + Fixed(e.peakG, 3) + "\n";
    for (const auto& [file, text] :
         {std::pair{kGpx, gpx.str()}, std::pair{kKml, kml.str()}, std::pair{kEvents, csv}}) {
        if (!WriteText(folder + "/" + file, text))
            return false;
        m_files.push_back(file);
    }
    return true;
}

bool EvidencePack::WriteClip(const std::string& folder) {
    LosslessClip clip(m_clip.pieces, folder + "/" + kClip);
    // The cutter reads its own flag: the pack's stop flag is handed on as it writes.
    std::atomic<bool> cancel{false};
    clip.SetCancel(&cancel);
    clip.SetProgress([&](double) {
        if (m_stop && *m_stop)
            cancel = true;
    });
    const ClipReport report = clip.Write();
    if (!report.ok)
        return !Stopped() && Fail(std::string(kClip) + ": " + report.error);
    m_files.push_back(kClip);
    if (!report.telemetryPath.empty())
        m_files.push_back(FileName(report.telemetryPath));
    // The span as cut, in seconds of the movie, for the README.
    m_clipFrom += report.start - m_clip.pieces.front().from;
    m_clipTo = m_clipFrom + report.length;
    return true;
}

bool EvidencePack::WriteText(const std::string& path, const std::string& text) {
    if (Stopped())
        return false;
    AtomicFile file;
    if (!file.Open(path) ||
        std::fwrite(text.data(), 1, text.size(), file.stream()) != text.size() || !file.Commit())
        return Fail(FileName(path) + ": cannot be written");
    return true;
}

std::string EvidencePack::ReadmeText() const {
    const bool telemetry = !m_moment.telemetryPath.empty();
    const bool tracks = telemetry || m_otherSource;
    const auto tenths = static_cast<long long>(m_moment.seconds * 10 + 0.5);
    std::string text =
        "Evidence pack of a dash-camera recording\n\n"
        "Made:      " +
        m_madeAt + " (UTC)\nProgram:   Quello Player " + kVersion +
        "\nMovie:     " + FileName(m_moment.moviePath) +
        "\nPosition:  " + Fixed(m_moment.seconds, 3) + " s into the movie (" +
        std::to_string(tenths / 600) + ":" + (tenths / 10 % 60 < 10 ? "0" : "") +
        std::to_string(tenths / 10 % 60) + "." + std::to_string(tenths % 10) + ")\nTelemetry: " +
        (telemetry       ? FileName(m_moment.telemetryPath)
         : m_otherSource ? std::string("no telemetry file was found for the movie; the GPS "
                                       "track and G-force events\n           are those the "
                                       "player found in another source (a GPX or NMEA log\n"
                                       "           or the movie itself), placed on the "
                                       "movie's seconds")
                         : std::string("none: no telemetry file was found for the movie, so "
                                       "this pack holds no telemetry copy, GPS track or G-force "
                                       "events")) +
        "\n\nFiles\n  " + FileName(m_moment.moviePath) +
        "\n      the original movie, copied bit for bit (read back from the disk and compared "
        "by SHA-256),\n      with its modification time\n";
    if (telemetry)
        text += "  " + FileName(m_moment.telemetryPath) +
                "\n      the original telemetry file (G-sensor and GPS), copied the same way\n";
    for (const std::string& movie : m_moment.cameraMovies)
        if (movie != m_moment.moviePath)
            text += "  " + FileName(movie) +
                    (movie == MainMovie() ? "\n      the main camera's movie of the same moment"
                                          : "\n      another camera's movie of the same moment") +
                    ", copied the same way\n";
    text += std::string("  ") + kSnapshot +
            "\n      the frame at the position, as the player's "
            "snapshot saves it\n  " +
            kPage +
            "\n      the page the player prints for the "
            "moment: frame, G-sensor values, speed and position of\n      that second, "
            "waveform strip (A4, 300 dpi)\n";
    if (tracks)
        text += std::string("  ") + kGpx +
                "\n      the recording's GPS track (GPX 1.1; times "
                "as the camera clock gave them, no zone)\n  " +
                kKml + "\n      the same track as KML 2.2\n  " + kEvents +
                "\n      the G-force events of the recording, found at " +
                Fixed(m_moment.thresholds.horizontal, 2) + " g across the car and " +
                Fixed(m_moment.thresholds.vertical, 2) +
                " g\n      up or down (0 turns a test "
                "off); columns: start_s, peak_s, end_s (seconds into the\n      movie), kind "
                "(braking, acceleration, left turn, right turn, impact), peak_g (the\n      "
                "peak's reading on its main axis, in g)\n";
    if (m_clip.ok) {
        text += std::string("  ") + kClip + "\n      the recording from " + Fixed(m_clipFrom, 3) +
                " s to " + Fixed(m_clipTo, 3) +
                " s of the movie (negative: before it, past its end: the\n      recordings "
                "that follow it), copied without re-encoding from ";
        for (std::size_t i = 0; i < m_clip.pieces.size(); ++i)
            text += (i == 0                          ? ""
                     : i + 1 == m_clip.pieces.size() ? " and "
                                                     : ", ") +
                    FileName(m_clip.pieces[i].moviePath);
        text += "\n";
        for (const std::string& name : m_files)
            if (name == "clip.DAT" || name == "clip.gpx")
                text += "  " + name +
                        (name == "clip.DAT"
                             ? "\n      the G-sensor samples and GPS fixes of the clip's span\n"
                             : "\n      the GPS points of the clip's span\n");
    }
    text += std::string("  ") + kReadme + "\n      this file\n  " + kManifest +
            "\n      the SHA-256 of every other file; check the pack with: sha256sum -c " +
            kManifest + "\n";
    return text;
}

} // namespace quello
