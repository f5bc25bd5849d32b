#include "TripRoute.h"

#include "RecordingLibrary.h"
#include "RecordingTrip.h"

#include <memory>

namespace quello {

void TripRoute::Build(const RecordingLibrary& library, int current, const TelemetrySet& telemetry) {
    Clear();
    for (int entry : FindTrip(library, current)) {
        Member member{entry, library.entry(entry), {}};
        if (entry == current) {
            m_current = static_cast<int>(m_members.size());
            member.route = RouteOf(telemetry);
        }
        m_members.push_back(std::move(member));
    }
}

void TripRoute::Clear() {
    m_members.clear();
    m_current = -1;
}

const std::vector<RoutePoint>& TripRoute::current() const {
    static const std::vector<RoutePoint> kNone;
    return m_current < 0 ? kNone : m_members[static_cast<std::size_t>(m_current)].route;
}

std::vector<std::vector<RoutePoint>> TripRoute::others() const {
    std::vector<std::vector<RoutePoint>> routes;
    for (std::size_t i = 0; i < m_members.size(); ++i)
        if (static_cast<int>(i) != m_current)
            routes.push_back(m_members[i].route);
    return routes;
}

std::vector<RecordingEntry> TripRoute::otherEntries() const {
    std::vector<RecordingEntry> entries;
    for (std::size_t i = 0; i < m_members.size(); ++i)
        if (static_cast<int>(i) != m_current)
            entries.push_back(m_members[i].recording);
    return entries;
}

std::vector<TripRoute::Loaded> TripRoute::LoadOthers(const std::vector<RecordingEntry>& entries,
                                                     const OptionsFor& optionsFor) {
    std::vector<Loaded> routes;
    // One set for all: it is too large for the stack and need not be kept.
    const auto set = std::make_unique<TelemetrySet>();
    for (const RecordingEntry& entry : entries) {
        GpsOptions options = optionsFor(entry.moviePath);
        options.embedded = false;
        LoadRecordingTelemetry(entry, options, *set);
        routes.push_back({entry.moviePath, RouteOf(*set)});
    }
    return routes;
}

void TripRoute::SetOthers(const std::vector<Loaded>& routes) {
    for (const Loaded& loaded : routes)
        for (std::size_t i = 0; i < m_members.size(); ++i)
            if (static_cast<int>(i) != m_current &&
                m_members[i].recording.moviePath == loaded.moviePath)
                m_members[i].route = loaded.route;
}

std::optional<TripRoute::Target> TripRoute::Hit(const RecordingLibrary& library, double latitude,
                                                double longitude) const {
    std::vector<std::vector<RoutePoint>> routes;
    for (const Member& member : m_members)
        routes.push_back(member.route);
    const std::optional<RouteHit> hit = NearestRoutePoint(routes, latitude, longitude);
    if (!hit)
        return std::nullopt;
    const Member& member = m_members[static_cast<std::size_t>(hit->route)];
    const int second = member.route[static_cast<std::size_t>(hit->point)].second;
    const auto same = [&](int i) {
        return library.entry(i).moviePath == member.recording.moviePath;
    };
    if (member.entry < library.entryCount() && same(member.entry))
        return Target{member.entry, second};
    for (int i = 0; i < library.entryCount(); ++i)
        if (same(i))
            return Target{i, second};
    return std::nullopt;
}

} // namespace quello
