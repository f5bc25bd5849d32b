#include "MapProfile.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

namespace quello {

MapProfile* MapProfile::Create(QObject* parent) {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    const QString folder = base.isEmpty() ? QString() : base + QStringLiteral("/map");
    std::unique_ptr<QLockFile> lock;
    if (!folder.isEmpty() && QDir().mkpath(folder)) {
        lock = std::make_unique<QLockFile>(folder + QStringLiteral("/lock"));
        // A player that died keeps no claim: its stale lock is taken over.
        if (!lock->tryLock(0))
            lock.reset();
    }
    return new MapProfile(std::move(lock), folder, parent);
}

MapProfile::MapProfile(std::unique_ptr<QLockFile> lock, const QString& folder, QObject* parent)
    : QWebEngineProfile(lock ? QStringLiteral("map") : QString(), parent), m_lock(std::move(lock)) {
    setPersistentCookiesPolicy(NoPersistentCookies);
    if (!m_lock) {
        setHttpCacheType(MemoryHttpCache);
        return;
    }
    setPersistentStoragePath(folder + QStringLiteral("/storage"));
    setCachePath(folder + QStringLiteral("/cache"));
    setHttpCacheType(DiskHttpCache);
    setHttpCacheMaximumSize(static_cast<int>(kCacheBytes));
}

MapProfile::~MapProfile() = default;

} // namespace quello
