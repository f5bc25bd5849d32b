#include "KmlConverter.h"

#include "AtomicFile.h"
#include "XmlText.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace quello {

namespace {

// Log lines are read as the camera's desktop software has always read them: in pieces of at
// most 127 characters (a line end, LF or CR LF, counted as one), each handled as a line.
constexpr std::size_t kPieceChars = 127;
// A coordinate field is held in 32 bytes; a longer field is no coordinate and its line is
// skipped rather than cut to a different number.
constexpr std::size_t kMaxCoordinateChars = 31;
constexpr std::size_t kFlushBytes = 1 << 16;

struct Point {
    std::string longitude;
    std::string latitude;
};

// Hemisphere handling on text: the negative letter becomes a minus sign, any other first
// character is dropped. The field's encoding is judged as a whole, so "first character" means
// one UTF-8 character in a UTF-8 field and one byte in a single-byte field.
std::string coordinateText(std::string_view field, char negativeLetter) {
    const bool utf8 = IsValidUtf8(field);
    std::size_t firstLen = 1;
    if (utf8) {
        const auto b0 = static_cast<unsigned char>(field[0]);
        firstLen = b0 < 0x80 ? 1 : b0 < 0xE0 ? 2 : b0 < 0xF0 ? 3 : 4;
    }
    std::string text = field[0] == negativeLetter ? "-" : "";
    const std::string_view rest = field.substr(firstLen);
    text += utf8 ? std::string(rest) : ToUtf8(rest);
    return text;
}

// Splits one piece into tab-separated fields (tab runs are one separator, leading tabs are
// skipped) and yields the point of the second and third fields.
bool parsePiece(std::string_view piece, Point& point) {
    piece = piece.substr(0, piece.find('\0')); // the piece is a C string to its readers
    while (!piece.empty() && (piece.back() == '\n' || piece.back() == '\r'))
        piece.remove_suffix(1);

    std::array<std::string_view, 3> fields;
    std::size_t count = 0;
    std::size_t pos = 0;
    while (count < fields.size()) {
        pos = piece.find_first_not_of('\t', pos);
        if (pos == std::string_view::npos)
            break;
        std::size_t end = piece.find('\t', pos);
        if (end == std::string_view::npos)
            end = piece.size();
        fields[count++] = piece.substr(pos, end - pos);
        pos = end;
    }
    if (count < fields.size())
        return false;
    if (fields[1].size() > kMaxCoordinateChars || fields[2].size() > kMaxCoordinateChars)
        return false;
    point.latitude = coordinateText(fields[1], 'S');
    point.longitude = coordinateText(fields[2], 'W');
    return true;
}

class KmlWriter {
public:
    KmlWriter(std::FILE* out, std::string_view description, std::string_view name)
        : out_(out), description_(ToUtf8(description)), name_(ToUtf8(name)) {
        buffer_.reserve(kFlushBytes + 4096);
    }

    bool addPoint(const Point& p) {
        if (!headerWritten_)
            writeHeader(&p);
        buffer_ += "\t\t\t\t";
        AppendXmlEscaped(buffer_, p.longitude);
        buffer_ += ',';
        AppendXmlEscaped(buffer_, p.latitude);
        buffer_ += ",0\r\n";
        return buffer_.size() < kFlushBytes || flush();
    }

    bool finish() {
        if (headerWritten_) {
            buffer_ += "\t\t\t</coordinates>\r\n\t\t</LineString>\r\n";
        } else {
            // No point at all: no LookAt (it needs a first point) and no LineString (an
            // empty coordinates element reads back as a bogus point at 0,0).
            writeHeader(nullptr);
        }
        buffer_ += "\t</Placemark>\r\n</kml>\r\n";
        return flush();
    }

private:
    void writeHeader(const Point* first) {
        headerWritten_ = true;
        buffer_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                   "<kml xmlns=\"http://earth.google.com/kml/2.0\">\r\n"
                   "\t<Placemark>\r\n"
                   "\t\t<description>";
        AppendXmlEscaped(buffer_, description_);
        buffer_ += "</description>\r\n\t\t<name>";
        AppendXmlEscaped(buffer_, name_);
        buffer_ += "</name>\r\n";
        if (first != nullptr) {
            buffer_ += "\t\t<LookAt>\r\n\t\t\t<longitude>";
            AppendXmlEscaped(buffer_, first->longitude);
            buffer_ += "</longitude>\r\n\t\t\t<latitude>";
            AppendXmlEscaped(buffer_, first->latitude);
            buffer_ += "</latitude>\r\n"
                       "\t\t\t<range>500</range>\r\n"
                       "\t\t\t<tilt>0</tilt>\r\n"
                       "\t\t\t<heading>3</heading>\r\n"
                       "\t\t</LookAt>\r\n";
        }
        buffer_ += "\t\t<Style id=\"yellowLine\">\r\n"
                   "\t\t\t<LineStyle>\r\n"
                   "\t\t\t\t<color>7f00ffff</color>\r\n"
                   "\t\t\t\t<width>4</width>\r\n"
                   "\t\t\t</LineStyle>\r\n"
                   "\t\t</Style>\r\n";
        if (first != nullptr)
            buffer_ += "\t\t<LineString>\r\n\t\t\t<coordinates>\r\n";
    }

    bool flush() {
        const bool ok = std::fwrite(buffer_.data(), 1, buffer_.size(), out_) == buffer_.size();
        buffer_.clear();
        return ok;
    }

    std::FILE* out_;
    std::string description_;
    std::string name_;
    std::string buffer_;
    bool headerWritten_ = false;
};

// Reads the log as text on the camera's home platform reads it (CR LF counts as one line-end
// character), cuts it into pieces and hands every usable point to the writer.
// -2 on a read error, -4 on a write error, 0 otherwise.
int convertStream(int fd, KmlWriter& writer) {
    std::array<char, 1 << 16> chunk;
    std::array<char, kPieceChars> piece;
    std::size_t pieceLen = 0;
    bool pendingCr = false;
    Point point;
    bool writeOk = true;

    const auto emit = [&](char c) {
        piece[pieceLen++] = c;
        if (c == '\n' || pieceLen == kPieceChars) {
            if (parsePiece(std::string_view(piece.data(), pieceLen), point))
                writeOk = writer.addPoint(point) && writeOk;
            pieceLen = 0;
        }
    };

    for (;;) {
        const ssize_t got = ::read(fd, chunk.data(), chunk.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return -2;
        }
        if (got == 0)
            break;
        for (ssize_t i = 0; i < got && writeOk; ++i) {
            const char c = chunk[static_cast<std::size_t>(i)];
            if (pendingCr) {
                pendingCr = false;
                if (c != '\n')
                    emit('\r');
            }
            if (c == '\r')
                pendingCr = true;
            else
                emit(c);
        }
        if (!writeOk)
            return -4;
    }
    if (pendingCr)
        emit('\r');
    if (pieceLen > 0 && parsePiece(std::string_view(piece.data(), pieceLen), point))
        writeOk = writer.addPoint(point) && writeOk;
    return writeOk ? 0 : -4;
}

class FdGuard {
public:
    explicit FdGuard(int fd) : fd_(fd) {}
    ~FdGuard() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;

private:
    int fd_;
};

int convert(const std::string& logPath, const std::string& description,
            const std::string& outputDir, std::string& kmlPath) {
    // A NUL byte would make the system see a shorter, different path.
    if (logPath.empty() || logPath.find('\0') != std::string::npos)
        return -1;
    struct stat st {};
    if (::stat(logPath.c_str(), &st) != 0)
        return (errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG) ? -1 : -2;

    // Non-blocking so a FIFO swapped in after the check cannot hang the open; only regular
    // files are read (a directory, FIFO or device is no log).
    const int fd = ::open(logPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -2;
    FdGuard guard(fd);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return -2;

    const auto slash = logPath.find_last_of('/');
    if (slash == std::string::npos)
        return -3;
    std::string name = logPath.substr(slash + 1);
    if (const auto dot = name.find_last_of('.'); dot != std::string::npos)
        name.resize(dot);

    if (outputDir.empty() || outputDir.find('\0') != std::string::npos)
        return -4;
    std::string folder = outputDir;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    std::string outPath = folder == "/" ? folder : folder + "/";
    outPath += name + ".kml";

    AtomicFile out;
    if (!out.open(outPath))
        return -4;
    KmlWriter writer(out.stream(), description, name);
    const int streamed = convertStream(fd, writer);
    if (streamed != 0)
        return streamed;
    if (!writer.finish() || !out.commit())
        return -4;
    kmlPath = std::move(outPath);
    return 0;
}

} // namespace

int ConvertLogToKml(const std::string& logPath, const std::string& description,
                    const std::string& outputDir, std::string& kmlPath) {
    // A local result, so that kmlPath may even alias one of the inputs.
    std::string written;
    const int result = convert(logPath, description, outputDir, written);
    kmlPath = std::move(written);
    return result;
}

} // namespace quello
