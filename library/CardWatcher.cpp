#include "CardWatcher.h"

#include "LibraryImport.h"

#include "device/DeviceDrive.h"

#include <QFile>
#include <QSocketNotifier>
#include <QtConcurrent/QtConcurrentRun>

#include <fcntl.h>
#include <unistd.h>

namespace quello {
namespace {

std::string FindCard() {
    return FindRecordingDrive();
}

} // namespace

CardWatcher::CardWatcher(QObject* parent, const QString& mountTable)
    : QObject(parent), m_finder(FindCard) {
    m_fd = ::open(QFile::encodeName(mountTable).constData(), O_RDONLY | O_CLOEXEC);
    if (m_fd >= 0) {
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Exception, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &CardWatcher::Rescan);
    }
}

CardWatcher::~CardWatcher() {
    // A search still running ends on its own; its result goes nowhere.
    if (m_watcher)
        m_watcher->disconnect(this);
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

void CardWatcher::SetLibrary(const QString& libraryRoot) {
    // What was new to one library says nothing about another.
    if (libraryRoot != m_library && !(m_offer == CardOffer{})) {
        m_offer = {};
        emit offerChanged();
    }
    m_library = libraryRoot;
    Rescan();
}

void CardWatcher::SetCardFinder(CardFinder finder) {
    m_finder = std::move(finder);
}

void CardWatcher::Rescan() {
    if (m_watcher) {
        m_again = true;
        return;
    }
    m_watcher = new QFutureWatcher<Found>(this);
    connect(m_watcher, &QFutureWatcherBase::finished, this, &CardWatcher::OnSearched);
    const std::string library = QFile::encodeName(m_library).toStdString();
    m_watcher->setFuture(QtConcurrent::run([finder = m_finder, library] {
        Found found;
        const std::string root = finder();
        found.card = QFile::decodeName(QByteArray::fromStdString(root));
        if (root.empty() || library.empty())
            return found;
        ImportPlan plan;
        std::string error;
        LibraryImport import(library, {root});
        if (import.Plan(plan, error) && plan.newRecordings > 0)
            found.offer = {found.card, plan.newRecordings, plan.newBytes};
        return found;
    }));
}

void CardWatcher::OnSearched() {
    const Found found = m_watcher->result();
    m_watcher->deleteLater();
    m_watcher = nullptr;
    if (m_again) {
        m_again = false;
        Rescan();
        return;
    }
    m_card = found.card;
    const bool changed = !(found.offer == m_offer);
    m_offer = found.offer;
    if (changed)
        emit offerChanged();
    emit searched();
}

} // namespace quello
