#include "MultiViewController.h"

#include "AppSettings.h"
#include "LibraryController.h"

#include "cameras/CameraName.h"
#include "cameras/ViewProbe.h"
#include "playback/CMediaGraph.h"
#include "playback/CVideoHost.h"

#include <QFile>

#include <algorithm>
#include <map>

namespace quello {

namespace {

// The composed picture is no wider than this: wider costs scaling time on every frame and
// shows no more on the window's video area, even at full screen on common screens.
constexpr int kComposedMaxWidth = 1280;
// A view whose movie ends this much before the position shows "No picture".
constexpr double kEndSlack = 0.05;
constexpr int kCaptionTickMs = 200;

QString FromPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

} // namespace

MultiViewController::MultiViewController(CMediaGraph& engine, CVideoHost& host,
                                         LibraryController& library, QObject* parent)
    : QObject(parent), m_engine(engine), m_host(host), m_library(library) {
    const int stored = AppSettings().value(QStringLiteral("views/arrangement"), 0).toInt();
    m_arrangement = stored >= 0 && stored <= int(ViewArrangement::Single) ? ViewArrangement(stored)
                                                                          : ViewArrangement::Main;
    m_mainCamera = AppSettings().value(QStringLiteral("views/main")).toString().toStdString();
    m_captionTick.setInterval(kCaptionTickMs);
    connect(&m_captionTick, &QTimer::timeout, this, &MultiViewController::ShowCaptions);
    connect(&m_host, &CVideoHost::Clicked, this, &MultiViewController::OnClicked);
}

void MultiViewController::Prepare(int entry) {
    m_views.clear();
    const bool listed = entry >= 0 && entry < m_library.library().entryCount();
    const std::string moviePath = listed ? m_library.library().entry(entry).moviePath : "";
    const auto own = listed ? ParseCameraName(moviePath) : std::nullopt;
    const std::vector<std::string>& others = m_library.OtherViews(entry);
    if (listed && (!others.empty() || own)) {
        std::vector<std::string> paths{moviePath};
        paths.insert(paths.end(), others.begin(), others.end());
        int track = 1;
        for (const std::string& path : paths) {
            View view{path, {}, 0, {}, 0, 0};
            if (const auto name = ParseCameraName(path)) {
                view.camera = name->camera;
                view.order = name->order;
            }
            const ViewFacts facts = ProbeView(path);
            view.source = facts.source;
            view.seconds = facts.seconds;
            // The recording itself is always track 1: its clock is the views' clock.
            if (view.source.present() || track == 1)
                view.track = track++;
            m_views.push_back(std::move(view));
        }
        // A camera the other moments have and this one lacks (its file is missing) keeps its
        // view, which shows "No picture", so the layout stays the same from moment to moment.
        for (const auto& [camera, order] : ListedCameras()) {
            if (std::none_of(m_views.begin(), m_views.end(),
                             [&](const View& v) { return v.camera == camera; }))
                m_views.push_back(View{{}, camera, order, {}, 0, 0});
        }
        std::stable_sort(m_views.begin() + 1, m_views.end(),
                         [](const View& a, const View& b) { return a.order < b.order; });
    }
    if (m_views.size() < 2) {
        m_views.clear();
        m_layout = {};
        m_engine.SetViews({}, {}, {});
        m_host.SetCaptions({});
        m_captionTick.stop();
        return;
    }
    Arrange();
    std::vector<QString> files;
    for (const View& view : m_views)
        if (view.track > 1)
            files.push_back(FromPath(view.path));
    m_engine.SetViews(std::move(files), Graph(), MainFile());
    ShowCaptions();
    m_captionTick.start();
}

void MultiViewController::CycleArrangement() {
    m_arrangement = ViewLayout::Next(m_arrangement);
    AppSettings().setValue(QStringLiteral("views/arrangement"), int(m_arrangement));
    if (m_views.empty())
        return;
    Arrange();
    Apply();
}

void MultiViewController::OnClicked(QPoint videoPoint) {
    if (m_views.empty())
        return;
    const int view = m_layout.ViewAt(videoPoint.x(), videoPoint.y());
    if (view < 0 || view == m_layout.main() || m_views[view].track == 0)
        return;
    m_mainCamera = m_views[view].camera;
    AppSettings().setValue(QStringLiteral("views/main"), QString::fromStdString(m_mainCamera));
    Arrange();
    Apply();
}

// The main view is the remembered camera when this moment has it with a picture, else the
// recording itself.
void MultiViewController::Arrange() {
    int main = 0;
    for (int i = 0; i < int(m_views.size()); ++i)
        if (!m_mainCamera.empty() && m_views[i].camera == m_mainCamera && m_views[i].track > 0)
            main = i;
    std::vector<ViewSource> sources;
    for (const View& view : m_views)
        sources.push_back(view.source);
    m_layout = ViewLayout::Arrange(m_arrangement, sources, main, kComposedMaxWidth);
}

void MultiViewController::Apply() {
    m_engine.ChangeViews(Graph(), MainFile());
    ShowCaptions();
}

void MultiViewController::ShowCaptions() {
    std::vector<CVideoHost::Caption> captions;
    const double position = m_engine.GetPositionSeconds();
    for (int i = 0; i < int(m_views.size()); ++i) {
        const ViewRect& slot = m_layout.viewSlots()[i];
        const View& view = m_views[i];
        const bool ended = i > 0 && view.seconds > 0 && position > view.seconds + kEndSlack;
        if (slot.empty() || (view.track > 0 && !ended))
            continue;
        captions.push_back({QRect(slot.x, slot.y, slot.w, slot.h), QStringLiteral("No picture")});
    }
    m_host.SetCaptions(std::move(captions));
}

std::map<std::string, int> MultiViewController::ListedCameras() const {
    std::map<std::string, int> cameras;
    const auto add = [&](const std::string& path) {
        if (const auto name = ParseCameraName(path))
            cameras.emplace(name->camera, name->order);
    };
    for (int e = 0; e < m_library.library().entryCount(); ++e) {
        const std::vector<std::string>& others = m_library.OtherViews(e);
        if (others.empty())
            continue;
        add(m_library.library().entry(e).moviePath);
        for (const std::string& path : others)
            add(path);
    }
    return cameras;
}

QString MultiViewController::Graph() const {
    std::vector<int> tracks;
    for (const View& view : m_views)
        tracks.push_back(view.track);
    return QString::fromStdString(m_layout.FilterGraph(tracks));
}

QString MultiViewController::MainFile() const {
    return FromPath(m_views[m_layout.main()].path);
}

} // namespace quello
