#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QString>

#include <functional>
#include <string>

class QSocketNotifier;

namespace quello {

// A camera card (or a car's TeslaCam drive) with recordings that a library does not hold yet.
struct CardOffer {
    QString card; // the card's root; empty: no card, or nothing new on it
    int newRecordings = 0;
    qint64 newBytes = 0;
    bool operator==(const CardOffer&) const = default;
};

// Looks for a camera card at start and whenever the mount table changes, and works out what
// it has that the library does not. The kernel marks the mount table readable with priority
// (POLLPRI) after every mount and unmount: a QSocketNotifier of type Exception on it wakes
// this then, and at no other time. The search (the mounted drives' settings files and TeslaCam
// folders, FindRecordingDrive) and the plan of an import (the card's listing against the index)
// run on Qt's thread pool, never on the GUI thread; a change during a search starts one more
// when it ends.
//
// Owned by the window; lives and signals on the GUI thread.
class CardWatcher : public QObject {
    Q_OBJECT
public:
    // The card's root, or empty when none is mounted. Runs on a worker thread.
    using CardFinder = std::function<std::string()>;

    // `mountTable` is watched for changes (the process's own mount table by default).
    explicit CardWatcher(QObject* parent = nullptr,
                         const QString& mountTable = QStringLiteral("/proc/self/mountinfo"));
    ~CardWatcher() override;

    // The library new recordings are counted against; empty stops offering. Another library
    // withdraws the offer at once; then it searches again.
    void SetLibrary(const QString& libraryRoot);
    const QString& library() const { return m_library; }
    // Replaces the search of the removable drives (FindRecordingDrive).
    void SetCardFinder(CardFinder finder);
    // Searches now, as after a change of the mount table.
    void Rescan();

    const CardOffer& offer() const { return m_offer; }
    // The card found by the last search, new recordings or not; empty when none.
    const QString& card() const { return m_card; }
    bool searching() const { return m_watcher != nullptr; }

signals:
    // offer() changed: another card, other numbers, or none any more.
    void offerChanged();
    // A search has ended (whether or not anything changed).
    void searched();

private:
    struct Found {
        QString card;
        CardOffer offer;
    };
    void OnSearched();

    QString m_library;
    CardFinder m_finder;
    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    QFutureWatcher<Found>* m_watcher = nullptr;
    bool m_again = false;
    QString m_card;
    CardOffer m_offer;
};

} // namespace quello
