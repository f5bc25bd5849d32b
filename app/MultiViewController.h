#pragma once

#include "cameras/ViewLayout.h"

#include <QObject>
#include <QPoint>
#include <QString>
#include <QTimer>

#include <map>
#include <string>
#include <vector>

namespace quello {

class CMediaGraph;
class CVideoHost;
class LibraryController;

// The views of the recording on screen: the other cameras of its moment are composed with it
// by the engine (one graph on the recording's clock, so every view is frame-locked, also
// backward and in steps). Chooses their layout (V cycles it) and the main view (a click on a
// small view), both remembered; a view without a picture at the position shows "No picture".
//
// The engine and the video host belong to the playback controller and the window and outlive
// this object. GUI thread only.
class MultiViewController : public QObject {
    Q_OBJECT
public:
    MultiViewController(CMediaGraph& engine, CVideoHost& host, LibraryController& library,
                        QObject* parent);

    // Sets the engine up for library entry `entry`, about to be opened: its views, their
    // graph and main view. An entry without other cameras plays alone.
    void Prepare(int entry);
    // V: the next layout, also for the recordings that follow.
    void CycleArrangement();
    // A click on the picture at `videoPoint` (the composed picture's pixels): a view other than
    // the main one becomes the main view.
    void OnClicked(QPoint videoPoint);

    int viewCount() const { return int(m_views.size()); }
    const ViewLayout& layout() const { return m_layout; }
    // The camera name of view i ("front", "back", … ; empty for an untagged movie).
    const std::string& camera(int view) const { return m_views[view].camera; }

private:
    struct View {
        std::string path; // empty: the moment has no file of this camera
        std::string camera;
        int order = 0; // the camera's place among the moment's (CameraName::order)
        ViewSource source;
        double seconds = 0;
        int track = 0; // vidN in the engine's graph; 0: not given to it
    };

    void Arrange();
    void Apply();
    void ShowCaptions();
    QString MainFile() const;
    // The engine's graph for the layout, each view by its track.
    QString Graph() const;
    // The cameras of the library's moments of several cameras, with their order.
    std::map<std::string, int> ListedCameras() const;

    CMediaGraph& m_engine;
    CVideoHost& m_host;
    LibraryController& m_library;
    std::vector<View> m_views;
    ViewArrangement m_arrangement = ViewArrangement::Main;
    std::string m_mainCamera; // the camera chosen as main view; kept across recordings
    ViewLayout m_layout;
    QTimer m_captionTick;
};

} // namespace quello
