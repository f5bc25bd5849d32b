#pragma once

#include <QWebEngineProfile>

#include <memory>

class QLockFile;

namespace quello {

// The map view's browser profile. Tiles seen once are kept in a bounded disk cache in the
// user's cache folder (QStandardPaths::CacheLocation, "map"), so a drive reviewed at home can be
// reviewed again without a network. Cookies are never kept. The browser engine cannot share its
// cache between processes: the first player running takes the folder (a lock file) and a second
// one runs with a cache in memory only, as does any player whose cache folder cannot be made.
// Owned by CDlgGMap, which deletes it after its page; GUI thread only.
class MapProfile : public QWebEngineProfile {
    Q_OBJECT

public:
    static constexpr qint64 kCacheBytes = 256LL * 1024 * 1024;

    static MapProfile* Create(QObject* parent);
    ~MapProfile() override;

    // True when tiles go to the disk cache.
    bool onDisk() const { return m_lock != nullptr; }

private:
    MapProfile(std::unique_ptr<QLockFile> lock, const QString& folder, QObject* parent);

    std::unique_ptr<QLockFile> m_lock;
};

} // namespace quello
