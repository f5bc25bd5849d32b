#pragma once

#include "playback/CMediaGraph.h"

#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

namespace quello::bench {

// Drains the engine as the main window does: the engine's notifications are posted to it.
// GUI thread only; the engine outlives it.
class EngineDrain : public QObject {
public:
    explicit EngineDrain(CMediaGraph& graph) : m_graph(graph) {}
    bool event(QEvent* event) override {
        if (event->type() != CMediaGraph::kGraphNotifyEvent)
            return QObject::event(event);
        m_graph.DrainGraphEvents();
        return true;
    }

private:
    CMediaGraph& m_graph;
};

// Runs the event loop for `seconds`, sleeping while there is nothing to do (a busy loop would
// be counted as the engine's CPU).
inline void Pump(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace quello::bench
