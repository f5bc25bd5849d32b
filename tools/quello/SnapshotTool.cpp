// `quello-snapshot`: the part of `quello snapshot` that needs Qt and libmpv. `quello` runs it
// so that its other commands start without loading either library.
#include "CameraGrid.h"
#include "Command.h"
#include "InputFile.h"
#include "MovieMoment.h"

#include "cameras/CameraGroups.h"
#include "device/MovieGpsOptions.h"
#include "imaging/JpegWriter.h"
#include "outputs/MomentFacts.h"
#include "playback/CMediaGraph.h"
#include "playback/FrameDib.h"
#include "recordings/MovieHeader.h"
#include "recordings/TelemetrySet.h"
#include "recordings/TelemetrySources.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>

#include <clocale>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <exception>
#include <iostream>
#include <memory>
#include <ostream>
#include <sstream>

namespace quello {

namespace {

constexpr const char* kUsage = "quello snapshot MOVIE --at SECONDS [--camera NAME|all] -o OUT.jpg";

// The Exif facts of the frame `seconds` into a moment, from its main camera's header and the
// telemetry found beside it, as the player's window gives them to its snapshot.
SnapshotFacts MomentFacts(const std::string& mainMovie, double seconds) {
    std::tm created{};
    std::uint32_t duration = 0;
    int readOnly = 0;
    ReadMovieHeader(mainMovie, created, duration, readOnly);
    auto telemetry = std::make_unique<TelemetrySet>();
    LoadMovieTelemetry(mainMovie, GpsOptionsForMovie(mainMovie), *telemetry);
    return FactsForMoment(created, created.tm_mday != 0, seconds, *telemetry);
}

std::int32_t Int32At(const unsigned char* bytes) {
    return std::int32_t(std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 |
                        std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24);
}

// The frame the engine shows, top row first; null when it shows none.
QImage FrameOnScreen(CMediaGraph& graph) {
    const int size = graph.GetCurrentImageSize();
    if (size <= kDibHeaderSize)
        return {};
    std::vector<unsigned char> dib(std::size_t(size), 0);
    if (!graph.GetCurrentImage(dib.data(), size))
        return {};
    const int width = Int32At(&dib[4]), height = Int32At(&dib[8]);
    const int bits = dib[14] | dib[15] << 8;
    if (bits != 32 || width < 1 || height < 1 || PackedDibSize(width, height) > size)
        return {};
    // The DIB's rows run bottom-up; mirrored() also makes the image its own copy.
    return QImage(dib.data() + kDibHeaderSize, width, height, width * 4, QImage::Format_RGB32)
        .mirrored(false, true);
}

// The file of the camera `moment.camera` names among the cameras of the moment; empty, after a
// message listing the moment's cameras, when none is named so.
std::string CameraMovie(const MovieMoment& moment, std::ostream& err) {
    const auto group = CameraGroupOf(moment.movie);
    if (group)
        if (const CameraFile* file = FindCameraFile(*group, moment.camera))
            return file->path;
    const std::string cameras = group ? CameraList(*group) : std::string();
    err << "quello snapshot: " << moment.movie << ": no camera '" << moment.camera
        << "' in this moment ("
        << (cameras.empty() ? "its file name names no camera" : "its cameras: " + cameras) << ")\n";
    return {};
}

// One picture of every camera of the moment at that time (ComposeCameraGrid). The main camera
// must show a picture there; another camera's file that ends before, or can't be played, gives
// a cell without one.
int SaveAllCameras(const MovieMoment& moment, std::ostream& err) {
    std::vector<std::string> movies{moment.movie};
    if (const auto group = CameraGroupOf(moment.movie)) {
        movies.clear();
        for (const auto& camera : group->cameras)
            movies.push_back(camera.path);
    }
    std::vector<QImage> views;
    SnapshotFacts facts;
    for (const std::string& movie : movies) {
        // One engine at a time: six libmpv instances at once would hold six decoders.
        CMediaGraph graph;
        MovieMoment view = moment;
        view.movie = movie;
        std::ostringstream skipped;
        const bool main = views.empty();
        const bool shown = view.OpenIn(graph, "snapshot", main ? err : skipped) == kExitOk;
        if (main && !shown)
            return kExitFailed;
        views.push_back(shown ? FrameOnScreen(graph) : QImage());
        if (main && views.front().isNull()) {
            err << "quello snapshot: " << movie << ": no picture at " << moment.atText << " s\n";
            return kExitFailed;
        }
        if (main)
            facts = MomentFacts(movie, graph.GetPositionSeconds());
    }
    const QImage grid = ComposeCameraGrid(views);
    if (grid.isNull()) {
        err << "quello snapshot: " << moment.movie << ": " << views.size()
            << " cameras are more than a picture takes (six)\n";
        return kExitFailed;
    }
    // The writer takes the rows bottom-up, as the engine's frames come.
    const QImage rows = grid.mirrored(false, true);
    if (WriteJpeg(rows.constBits(), rows.width(), rows.height(), moment.output, 32, facts) != 1) {
        err << "quello snapshot: could not save the picture to " << moment.output << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

int SaveOneCamera(const MovieMoment& moment, std::ostream& err) {
    CMediaGraph graph;
    if (const int rc = moment.OpenIn(graph, "snapshot", err); rc != kExitOk)
        return rc;
    if (graph.SaveFrameAsJpeg(QFile::decodeName(moment.output.c_str()),
                              MomentFacts(moment.mainMovie(), graph.GetPositionSeconds())) != 1) {
        err << "quello snapshot: could not save the frame to " << moment.output
            << " (no picture at that time, or the file cannot be written)\n";
        return kExitFailed;
    }
    return kExitOk;
}

bool IsAll(const std::string& camera) {
    return camera.size() == 3 && QString::fromStdString(camera).toLower() == QLatin1String("all");
}

int RunSnapshot(int argc, char** argv, std::ostream& out, std::ostream& err) {
    auto moment = MovieMoment::Parse({argv + 1, argv + argc}, "snapshot", kUsage, err, true);
    if (!moment)
        return kExitUsage;
    const bool all = IsAll(moment->camera);
    if (!moment->camera.empty()) {
        if (const std::string problem = InputFileProblem(moment->movie); !problem.empty()) {
            err << "quello snapshot: " << moment->movie << ": " << problem << "\n";
            return kExitFailed;
        }
        if (!all) {
            moment->movie = CameraMovie(*moment, err);
            if (moment->movie.empty())
                return kExitFailed;
        }
    }
    // The composed picture's text needs fonts, which come with a GUI application; nothing is
    // shown.
    std::unique_ptr<QCoreApplication> app;
    if (all) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    // libmpv refuses to start under a numeric locale other than "C".
    std::setlocale(LC_NUMERIC, "C");

    const int rc = all ? SaveAllCameras(*moment, err) : SaveOneCamera(*moment, err);
    if (rc == kExitOk)
        out << moment->output << "\n";
    return rc;
}

} // namespace

} // namespace quello

int main(int argc, char** argv) {
    return quello::MovieMoment::Main(argc, argv, "snapshot", quello::RunSnapshot);
}
