#include "KmlConverter.h"

#include "XmlText.h"

#include "recordings/base/AtomicFile.h"
#include "recordings/base/FileRead.h"
#include "recordings/base/OpenRegular.h"
#include "recordings/base/Utf8Text.h"

#include <array>
#include <cerrno>
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
std::string CoordinateText(std::string_view field, char negativeLetter) {
    const bool utf8 = IsValidUtf8(field);
    const std::size_t firstLen = utf8 ? Utf8SequenceLength(field) : 1;
    std::string text = field[0] == negativeLetter ? "-" : "";
    const std::string_view rest = field.substr(firstLen);
    text += utf8 ? std::string(rest) : ToUtf8(rest);
    return text;
}

// Splits one piece into tab-separated fields (tab runs are one separator, leading tabs are
// skipped) and yields the point of the second and third fields.
bool ParsePiece(std::string_view piece, Point& point) {
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
    point.latitude = CoordinateText(fields[1], 'S');
    point.longitude = CoordinateText(fields[2], 'W');
    return true;
}

class KmlWriter {
public:
    KmlWriter(std::FILE* out, std::string_view description, std::string_view name)
        : m_out(out), m_description(description), m_name(name) {
        m_buffer.reserve(kFlushBytes + 4096);
    }

    bool AddPoint(const Point& p) {
        if (!m_headerWritten)
            WriteHeader(&p);
        m_buffer += "\t\t\t\t";
        AppendXmlEscaped(m_buffer, p.longitude);
        m_buffer += ',';
        AppendXmlEscaped(m_buffer, p.latitude);
        m_buffer += ",0\r\n";
        return m_buffer.size() < kFlushBytes || Flush();
    }

    bool Finish() {
        if (m_headerWritten) {
            m_buffer += "\t\t\t</coordinates>\r\n\t\t</LineString>\r\n";
        } else {
            // No point at all: no LookAt (it needs a first point) and no LineString (an
            // empty coordinates element reads back as a bogus point at 0,0).
            WriteHeader(nullptr);
        }
        m_buffer += "\t</Placemark>\r\n</kml>\r\n";
        return Flush();
    }

private:
    void WriteHeader(const Point* first) {
        m_headerWritten = true;
        m_buffer += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                    "<kml xmlns=\"http://earth.google.com/kml/2.0\">\r\n"
                    "\t<Placemark>\r\n"
                    "\t\t<description>";
        AppendXmlText(m_buffer, m_description);
        m_buffer += "</description>\r\n\t\t<name>";
        AppendXmlText(m_buffer, m_name);
        m_buffer += "</name>\r\n";
        if (first != nullptr) {
            m_buffer += "\t\t<LookAt>\r\n\t\t\t<longitude>";
            AppendXmlEscaped(m_buffer, first->longitude);
            m_buffer += "</longitude>\r\n\t\t\t<latitude>";
            AppendXmlEscaped(m_buffer, first->latitude);
            m_buffer += "</latitude>\r\n"
                        "\t\t\t<range>500</range>\r\n"
                        "\t\t\t<tilt>0</tilt>\r\n"
                        "\t\t\t<heading>3</heading>\r\n"
                        "\t\t</LookAt>\r\n";
        }
        m_buffer += "\t\t<Style id=\"yellowLine\">\r\n"
                    "\t\t\t<LineStyle>\r\n"
                    "\t\t\t\t<color>7f00ffff</color>\r\n"
                    "\t\t\t\t<width>4</width>\r\n"
                    "\t\t\t</LineStyle>\r\n"
                    "\t\t</Style>\r\n";
        if (first != nullptr)
            m_buffer += "\t\t<LineString>\r\n\t\t\t<coordinates>\r\n";
    }

    bool Flush() {
        const bool ok = std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_out) == m_buffer.size();
        m_buffer.clear();
        return ok;
    }

    std::FILE* m_out;
    std::string m_description; // as given: made XML text when written
    std::string m_name;
    std::string m_buffer;
    bool m_headerWritten = false;
};

// Reads the log as text on the camera's home platform reads it (CR LF counts as one line-end
// character), cuts it into pieces and hands every usable point to the writer.
// -2 on a read error, -4 on a write error, 0 otherwise.
int ConvertStream(int fd, KmlWriter& writer) {
    std::array<char, 1 << 16> chunk;
    std::array<char, kPieceChars> piece;
    std::size_t pieceLen = 0;
    bool pendingCr = false;
    Point point;
    bool writeOk = true;

    const auto emit = [&](char c) {
        piece[pieceLen++] = c;
        if (c == '\n' || pieceLen == kPieceChars) {
            if (ParsePiece(std::string_view(piece.data(), pieceLen), point))
                writeOk = writer.AddPoint(point) && writeOk;
            pieceLen = 0;
        }
    };

    for (;;) {
        const ssize_t got = ReadSome(fd, chunk.data(), chunk.size());
        if (got < 0)
            return -2;
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
    if (pieceLen > 0 && ParsePiece(std::string_view(piece.data(), pieceLen), point))
        writeOk = writer.AddPoint(point) && writeOk;
    return writeOk ? 0 : -4;
}

class FdGuard {
public:
    explicit FdGuard(int fd) : m_fd(fd) {}
    ~FdGuard() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;

private:
    int m_fd;
};

int Convert(const std::string& logPath, const std::string& description,
            const std::string& outputDir, std::string& kmlPath) {
    // A NUL byte would make the system see a shorter, different path.
    if (logPath.empty() || logPath.find('\0') != std::string::npos)
        return -1;
    struct stat st {};
    if (::stat(logPath.c_str(), &st) != 0)
        return (errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG) ? -1 : -2;

    // Only regular files are read: a directory, FIFO or device is no log.
    const int fd = OpenRegular(logPath);
    if (fd < 0)
        return -2;
    FdGuard guard(fd);

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
    if (!out.Open(outPath))
        return -4;
    KmlWriter writer(out.stream(), description, name);
    const int streamed = ConvertStream(fd, writer);
    if (streamed != 0)
        return streamed;
    if (!writer.Finish() || !out.Commit())
        return -4;
    kmlPath = std::move(outPath);
    return 0;
}

} // namespace

int ConvertLogToKml(const std::string& logPath, const std::string& description,
                    const std::string& outputDir, std::string& kmlPath) {
    // A local result, so that kmlPath may even alias one of the inputs.
    std::string written;
    const int result = Convert(logPath, description, outputDir, written);
    kmlPath = std::move(written);
    return result;
}

} // namespace quello
