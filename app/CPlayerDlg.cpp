#include "CPlayerDlg.h"

#include "CAboutDlg.h"
#include "ClipController.h"
#include "EvidenceExport.h"
#include "LibraryController.h"
#include "LibrarySettings.h"
#include "MultiViewController.h"
#include "NoticeBar.h"
#include "WarningBox.h"

#include "device/CDlgSetting.h"
#include "library/CardWatcher.h"
#include "library/LibraryImportJob.h"
#include "outputs/CDlgKMLConv.h"
#include "playback/CVideoHost.h"
#include "res/skin/WindowLayout.h"
#include "skin/CSkinSlider.h"
#include "skin/MainBackground.h"
#include "views/CDlgGMap.h"
#include "views/CMyWaveForm.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDateTime>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QIcon>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QTableWidget>
#include <QTimeZone>

#include <algorithm>
#include <cmath>

static void InitAppResources() {
    Q_INIT_RESOURCE(app);
}

namespace quello {

namespace {

QString FromPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

QString Plural(qint64 count, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

QString Size(qint64 bytes) {
    return QString::fromStdString(SizeText(bytes));
}

// "1:02" or "1:02:03".
QString Elapsed(double seconds) {
    const qint64 s = static_cast<qint64>(std::lround(seconds));
    return s >= 3600 ? QStringLiteral("%1:%2:%3")
                           .arg(s / 3600)
                           .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                           .arg(s % 60, 2, 10, QLatin1Char('0'))
                     : QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

CPlayerDlg::CPlayerDlg(QWidget* parent)
    : QDialog(parent),
      m_passingsJob(this, [this](const std::shared_ptr<Passings>& p) { ShowPassingsMenu(*p); }) {
    InitAppResources();
    setObjectName(QStringLiteral("ctl102"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint);
    setWindowTitle(QStringLiteral("Quello Player"));
    setWindowIcon(QIcon(QStringLiteral(":/app/quello-player.svg")));
    setFixedSize(kWindowWidth, kWindowHeight);
    setAcceptDrops(true);
    setAttribute(Qt::WA_OpaquePaintEvent);

    QFont dialogFont(QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    dialogFont.setPixelSize(12);
    setFont(dialogFont);

    m_controls = WindowTemplate::Build(this);
    m_library = new LibraryController(this, m_controls.list);
    m_playback = new PlaybackController(this, m_controls, *m_library);
    m_clips = new ClipController(this, m_controls, *m_playback, *m_library);
    connect(m_playback, &PlaybackController::recordingShown, m_clips, &ClipController::ShowMarks);
    m_views = new MultiViewController(engine(), *m_controls.video, *m_library, this);
    m_clips->SetMainCamera([views = m_views] {
        return views->viewCount() > 1 ? views->camera(views->layout().main()) : std::string();
    });
    m_playback->SetBeforeOpen([this](int entry) { m_views->Prepare(entry); });
    m_notice = new NoticeBar(this);
    m_cardWatcher = new CardWatcher(this);
    m_importJob = new LibraryImportJob(this);
    ConnectCommands();

    // The window-level event filter: slider grab, waveform right-click, library keys and menu.
    m_controls.position->installEventFilter(this);
    m_controls.waveform->installEventFilter(this);
    m_controls.list->installEventFilter(this);
    m_controls.list->viewport()->installEventFilter(this);

    m_scanTimer.setInterval(100);
    m_scanTimer.setSingleShot(true);
    connect(&m_scanTimer, &QTimer::timeout, this, &CPlayerDlg::OnScanTimer);
    m_scanTimer.start();
}

CPlayerDlg::~CPlayerDlg() {
    m_scanTimer.stop();
    delete m_clips;
    delete m_playback;
    delete m_library;
}

QWidget* CPlayerDlg::control(int id) const {
    return WindowTemplate::Control(this, id);
}

void CPlayerDlg::ConnectCommands() {
    PlaybackController* playback = m_playback;
    LibraryController* library = m_library;
    // A command runs once the button has finished with the click that triggered it. Several
    // open a modal dialog or message box, whose event loop would otherwise run inside the
    // button's release handling, before Qt has finished delivering that release.
    auto onClick = [this](int id, auto handler) {
        auto* button = qobject_cast<QAbstractButton*>(control(id));
        connect(button, &QAbstractButton::clicked, this, handler, Qt::QueuedConnection);
    };
    onClick(kIdClose, [this] { accept(); });
    onClick(kIdMinimize, [this] { showMinimized(); });
    onClick(kIdPlay, [playback] { playback->Play(); });
    onClick(kIdPause, [playback] { playback->Pause(); });
    onClick(kIdStop, [playback] { playback->StopPlayback(); });
    onClick(kIdPrevious, [playback] { playback->OpenEntry(EntryStep::Previous, true); });
    onClick(kIdNext, [playback] { playback->OpenEntry(EntryStep::Next, true); });
    onClick(kIdRate2, [playback] { playback->PlayAt(PlayRate::Forward2x); });
    onClick(kIdRate4, [playback] { playback->PlayAt(PlayRate::Forward4x); });
    onClick(kIdRateMinus2, [playback] { playback->PlayAt(PlayRate::Backward2x); });
    onClick(kIdRateMinus4, [playback] { playback->PlayAt(PlayRate::Backward4x); });
    onClick(kIdStepBack, [playback] { playback->StepFrame(-1); });
    onClick(kIdStepForward, [playback] { playback->StepFrame(+1); });
    onClick(kIdSlower, [playback] { playback->StepRateSlider(-1); });
    onClick(kIdFaster, [playback] { playback->StepRateSlider(+1); });
    onClick(kIdSnapshot, [playback] { playback->frameCommands().SaveSnapshotCommand(); });
    onClick(kIdPrint, [playback] { playback->frameCommands().PrintCommand(); });
    // The side dialogs share nothing with playback; their results are not needed here.
    onClick(kIdSettings, [this] {
        CDlgSetting dialog(this);
        dialog.Run(m_cardRoot);
    });
    onClick(kIdKml, [this] {
        CDlgKMLConv dialog(this);
        dialog.exec();
    });
    onClick(kIdAddFile, [library] { library->AddRecordingFromDialog(); });
    onClick(kIdAddFolder, [library] { library->AddRecordingFolder(); });
    onClick(kIdRemove, [library] { library->RemoveSelectedRecording(false); });
    onClick(kIdClear, [library] { library->ClearLibrary(); });
    // The second-monitor button (1047) stays hidden and has no command.

    connect(m_controls.position, &CSkinSlider::released, playback,
            &PlaybackController::OnPositionReleased);
    connect(m_controls.volume, &CSkinSlider::released, playback,
            &PlaybackController::OnVolumeReleased);
    connect(m_controls.waveform, &CMyWaveForm::clicked, playback,
            &PlaybackController::OnWaveformClicked);
    connect(m_controls.video, &CVideoHost::DoubleClicked, playback,
            &PlaybackController::ToggleFullScreen);
    connect(library, &LibraryController::rowChosen, playback, &PlaybackController::OnRowChosen);
    connect(library, &LibraryController::gpsChoicesChanged, playback, [library, playback](int row) {
        if (row == library->library().currentIndex())
            playback->ReloadTelemetry();
    });
    connect(library, &LibraryController::removingCurrent, playback,
            &PlaybackController::ReleaseBeforeRemoval);
    connect(library, &LibraryController::clearing, playback, &PlaybackController::StopPlayback);
    connect(library, &LibraryController::dayRoutesRequested, playback,
            &PlaybackController::ShowDayRoutes);
    connect(library, &LibraryController::revealed, playback, &PlaybackController::PlayEntryFrom);

    connect(m_cardWatcher, &CardWatcher::offerChanged, this, &CPlayerDlg::OnCardOffer);
    connect(m_notice, &NoticeBar::actionClicked, this, [this] {
        // Only an offer has an action: the card it names.
        StartImport(m_cardWatcher->offer().card);
    });
    connect(m_notice, &NoticeBar::dismissed, this,
            [this] { m_dismissedCard = m_cardWatcher->offer().card; });
    connect(m_notice, &NoticeBar::cancelClicked, m_importJob, &LibraryImportJob::Cancel);
    connect(m_importJob, &LibraryImportJob::progressed, this, &CPlayerDlg::OnImportProgress);
    connect(m_importJob, &LibraryImportJob::finished, this, &CPlayerDlg::OnImportFinished);

    // Keyboard: what a desktop player offers. Application-wide so that the keys also work
    // on the full-screen picture; modal dialogs block them.
    // A focused control that needs the key (a slider its arrows, a button its Space) gets it.
    auto shortcut = [this](QKeySequence key, auto handler) {
        auto* s = new QShortcut(key, this);
        s->setContext(Qt::ApplicationShortcut);
        connect(s, &QShortcut::activated, this, [key, handler] {
            if (!GiveKeyToFocusedControl(key[0]))
                handler();
        });
    };
    shortcut(QKeySequence(Qt::Key_Space), [playback] { playback->TogglePlayPause(); });
    shortcut(QKeySequence(Qt::Key_Right), [playback] { playback->StepFrameExact(+1); });
    shortcut(QKeySequence(Qt::Key_Left), [playback] { playback->StepFrameExact(-1); });
    shortcut(QKeySequence(Qt::SHIFT | Qt::Key_Right), [playback] { playback->SeekBy(5); });
    shortcut(QKeySequence(Qt::SHIFT | Qt::Key_Left), [playback] { playback->SeekBy(-5); });
    shortcut(QKeySequence(Qt::Key_Home), [playback] { playback->SeekToStart(); });
    shortcut(QKeySequence(Qt::Key_End), [playback] { playback->SeekToEnd(); });
    shortcut(QKeySequence(Qt::Key_BracketLeft), [playback] { playback->StepRateSlider(-1); });
    shortcut(QKeySequence(Qt::Key_BracketRight), [playback] { playback->StepRateSlider(+1); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_O), [library] { library->AddRecordingFromDialog(); });
    shortcut(QKeySequence(Qt::Key_F), [playback] { playback->ToggleFullScreen(); });
    shortcut(QKeySequence(Qt::Key_N), [playback] { playback->JumpToNextEvent(true); });
    shortcut(QKeySequence(Qt::SHIFT | Qt::Key_N), [playback] { playback->JumpToNextEvent(false); });
    shortcut(QKeySequence(Qt::Key_PageDown), [playback] { playback->JumpToNextEvent(true); });
    shortcut(QKeySequence(Qt::Key_PageUp), [playback] { playback->JumpToNextEvent(false); });
    shortcut(QKeySequence(Qt::Key_Escape), [playback] { playback->LeaveFullScreen(); });
    ClipController* clips = m_clips;
    shortcut(QKeySequence(Qt::Key_V), [this] { m_views->CycleArrangement(); });
    shortcut(QKeySequence(Qt::Key_I), [clips] { clips->SetIn(); });
    shortcut(QKeySequence(Qt::Key_O), [clips] { clips->SetOut(); });
    shortcut(QKeySequence(Qt::ALT | Qt::Key_Space),
             [this] { ShowWindowMenu(mapToGlobal(QPoint(0, kTitleDragHeight))); });
}

bool CPlayerDlg::GiveKeyToFocusedControl(QKeyCombination key) {
    QWidget* focus = QApplication::focusWidget();
    if (!focus || !focus->isVisible())
        return false;
    const Qt::Key k = key.key();
    const bool plain = key.keyboardModifiers() == Qt::NoModifier;
    const bool paging = k == Qt::Key_PageUp || k == Qt::Key_PageDown;
    bool needs = false;
    if (qobject_cast<QAbstractSlider*>(focus))
        needs = plain && (paging || k == Qt::Key_Left || k == Qt::Key_Right || k == Qt::Key_Home ||
                          k == Qt::Key_End);
    else if (qobject_cast<QAbstractButton*>(focus))
        needs = plain && k == Qt::Key_Space;
    else if (qobject_cast<QAbstractItemView*>(focus) ||
             qobject_cast<QAbstractItemView*>(focus->parentWidget()))
        needs = plain && paging; // the library pages through its rows
    if (!needs)
        return false;
    QKeyEvent press(QEvent::KeyPress, k, key.keyboardModifiers());
    QKeyEvent release(QEvent::KeyRelease, k, key.keyboardModifiers());
    // Straight to the control: through the application the key would meet this shortcut again.
    QObject* control = focus;
    control->event(&press);
    control->event(&release);
    return true;
}

// --- Start-up --------------------------------------------------------------------------

void CPlayerDlg::SetCardRoot(const QString& root) {
    m_cardRoot = root;
}

QStringList CPlayerDlg::AddStartupPaths(const QStringList& paths) {
    int movieRow = -1;
    const QStringList unusable = m_library->AddStartupPaths(paths, &movieRow);
    if (m_startupMovieRow < 0)
        m_startupMovieRow = movieRow;
    return unusable;
}

void CPlayerDlg::OnScanTimer() {
    m_scanTimer.stop();
    // A movie opened from a file manager is what the user wants to see: a card in a reader
    // would add its movies, perhaps the same ones a second time. A library shown keeps the
    // list: a card with new recordings is offered for import instead.
    if (!(m_cardRoot.isEmpty() && m_startupMovieRow >= 0) && m_library->driveLibrary().isEmpty())
        ScanDeviceRecordings();
    if (m_startupMovieRow >= 0 && m_library->library().currentIndex() < 0)
        m_playback->OnRowChosen(m_startupMovieRow, true);
    m_cardScanned = true;
    emit cardScanDone();
    // The browser engine takes a while to start: the filled window reaches the screen first.
    // Until the map's page has loaded, positions for it are dropped anyway.
    if (isVisible()) {
        m_controls.list->repaint();
        QGuiApplication::sync();
    }
    QTimer::singleShot(0, this, [this] {
        if (!m_map) {
            m_map = new CDlgGMap(m_controls.mapHost);
            m_map->hide();
            m_playback->SetMap(m_map);
            connect(m_map, &CDlgGMap::menuRequested, this,
                    [this](double lat, double lon) { ShowMapMenu(lat, lon, QCursor::pos()); });
        }
    });
}

// --- The commands the window is known by, delegated -------------------------------------

bool CPlayerDlg::AddRecording(const QString& moviePath) {
    return m_library->AddRecording(moviePath);
}
void CPlayerDlg::AddRecordingFromDialog() {
    m_library->AddRecordingFromDialog();
}
void CPlayerDlg::AddRecordingFolder() {
    m_library->AddRecordingFolder();
}
void CPlayerDlg::ScanDeviceRecordings() {
    m_library->ScanDeviceRecordings(m_cardRoot);
}
void CPlayerDlg::RemoveSelectedRecording(bool deleteFiles) {
    m_library->RemoveSelectedRecording(deleteFiles);
}
void CPlayerDlg::ClearLibrary() {
    m_library->ClearLibrary();
}
const RecordingLibrary& CPlayerDlg::library() const {
    return m_library->library();
}
void CPlayerDlg::OpenEntry(EntryStep step, bool autoPlay) {
    m_playback->OpenEntry(step, autoPlay);
}
void CPlayerDlg::SyncTelemetry() {
    m_playback->SyncTelemetry();
}
void CPlayerDlg::StopPlayback() {
    m_playback->StopPlayback();
}
bool CPlayerDlg::LoadTelemetry(const QString& path) {
    return m_playback->LoadTelemetry(path);
}
void CPlayerDlg::SaveSnapshot() {
    m_playback->frameCommands().SaveSnapshot();
}
void CPlayerDlg::PrintCurrentFrame() {
    m_playback->frameCommands().PrintCurrentFrame();
}
bool CPlayerDlg::PrintCurrentFrameOn(QPrinter& printer) {
    return m_playback->frameCommands().PrintCurrentFrameOn(printer);
}

// --- Window-level handlers -----------------------------------------------------------------

bool CPlayerDlg::event(QEvent* event) {
    // Without a window manager nobody gives the keyboard back when a dialog over the window
    // closes: X returns the focus to the root window, and the keys would reach nothing until
    // the next click. Where a window manager does it, asking again changes nothing.
    if (event->type() == QEvent::WindowUnblocked && isVisible() && !isMinimized())
        QTimer::singleShot(0, this, [this] {
            if (!QApplication::activeModalWidget() || QApplication::activeModalWidget() == this)
                activateWindow();
        });
    return QDialog::event(event);
}

bool CPlayerDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (watched == m_controls.position && mouse->button() == Qt::LeftButton)
            m_playback->BeginPositionDrag();
        else if (watched == m_controls.waveform && mouse->button() == Qt::RightButton)
            m_controls.waveform->ToggleSpeedView();
    } else if (event->type() == QEvent::ContextMenu && watched == m_controls.list->viewport()) {
        m_library->ShowLibraryMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    } else if (event->type() == QEvent::KeyPress && watched == m_controls.list) {
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
            // Never deletes files: that takes the menu's explicit command.
            m_library->RemoveSelectedRecording(false);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CPlayerDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CPlayerDlg::dropEvent(QDropEvent* event) {
    event->acceptProposedAction();
    m_library->AddDroppedUrls(*event->mimeData());
}

void CPlayerDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintMainBackground(painter);
}

void CPlayerDlg::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    m_playback->engine().InitVideoWindow();
}

void CPlayerDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && event->position().y() <= kTitleDragHeight) {
        m_draggingWindow = true;
        m_dragAnchor = event->globalPosition().toPoint();
        grabMouse();
        return;
    }
    QDialog::mousePressEvent(event);
}

void CPlayerDlg::mouseMoveEvent(QMouseEvent* event) {
    if (!m_draggingWindow) {
        QDialog::mouseMoveEvent(event);
        return;
    }
    const QPoint cursor = event->globalPosition().toPoint();
    int x = std::max(pos().x() + (cursor.x() - m_dragAnchor.x()), 0);
    int y = std::max(pos().y() + (cursor.y() - m_dragAnchor.y()), 0);
    const QScreen* s = screen();
    const QRect screenRect = s ? s->geometry() : QRect(0, 0, kWindowWidth, kWindowHeight);
    if (x + kWindowWidth > screenRect.width())
        x = screenRect.width() - kWindowWidth;
    if (y + kWindowHeight > screenRect.height())
        y = screenRect.height() - kWindowHeight;
    move(x, y);
    raise();
    m_dragAnchor = cursor;
}

void CPlayerDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (m_draggingWindow && event->button() == Qt::LeftButton) {
        m_draggingWindow = false;
        releaseMouse();
        return;
    }
    QDialog::mouseReleaseEvent(event);
}

void CPlayerDlg::contextMenuEvent(QContextMenuEvent* event) {
    if (event->pos().y() <= kTitleDragHeight) {
        ShowWindowMenu(event->globalPos());
        return;
    }
    QDialog::contextMenuEvent(event);
}

void CPlayerDlg::ShowWindowMenu(const QPoint& globalPos) {
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("windowMenu"));
    QAction* minimize = menu.addAction(QStringLiteral("Minimize"));
    menu.addSeparator();
    QAction* openLibrary = menu.addAction(QStringLiteral("Open library…"));
    connect(openLibrary, &QAction::triggered, this, &CPlayerDlg::OpenLibraryCommand);
    QAction* importCard = menu.addAction(QStringLiteral("Import card…"));
    importCard->setEnabled(!m_importJob->running());
    connect(importCard, &QAction::triggered, this, &CPlayerDlg::ImportCardCommand);
    menu.addSeparator();
    QAction* goTo = menu.addAction(QStringLiteral("Go to time..."));
    connect(goTo, &QAction::triggered, this, &CPlayerDlg::GoToTimeCommand);
    QAction* evidence = menu.addAction(QStringLiteral("Export evidence…"));
    evidence->setEnabled(engine().GetState() != MediaState::Stopped);
    connect(evidence, &QAction::triggered, this, [this] {
        ExportEvidence(this, *m_playback, *m_controls.waveform, library(),
                       m_library->OtherViews(library().currentIndex()));
    });
    const bool open = engine().GetState() != MediaState::Stopped;
    QAction* allViews = menu.addAction(QStringLiteral("Snapshot of all views"));
    allViews->setEnabled(open && engine().composed());
    connect(allViews, &QAction::triggered, this,
            [this] { m_playback->frameCommands().SaveSnapshotCommand(true); });
    QAction* saveClip = menu.addAction(QStringLiteral("Save clip…"));
    saveClip->setEnabled(open && !m_clips->exporting());
    connect(saveClip, &QAction::triggered, m_clips, &ClipController::SaveClipCommand);
    QAction* overlay = menu.addAction(QStringLiteral("Export video with overlay…"));
    overlay->setEnabled(open && !m_clips->exporting());
    connect(overlay, &QAction::triggered, m_clips, &ClipController::ExportOverlayCommand);
    QAction* clearMarks = menu.addAction(QStringLiteral("Clear In/Out"));
    clearMarks->setEnabled(m_clips->hasMarks());
    connect(clearMarks, &QAction::triggered, m_clips, &ClipController::ClearMarks);
    // The current recording's G-force events, each a jump to 2 s before its peak.
    QMenu* events = menu.addMenu(QStringLiteral("G-force events"));
    events->setObjectName(QStringLiteral("eventsMenu"));
    const std::vector<GForceEvent>& found = m_playback->events();
    events->setEnabled(!found.empty());
    for (std::size_t i = 0; i < found.size(); ++i) {
        const GForceEvent& e = found[i];
        const int tenths = static_cast<int>(std::lround(e.peak * 10));
        QAction* item = events->addAction(QStringLiteral("%1:%2.%3  %4  %5 g")
                                              .arg(tenths / 600)
                                              .arg(tenths / 10 % 60, 2, 10, QLatin1Char('0'))
                                              .arg(tenths % 10)
                                              .arg(QLatin1String(GForceKindName(e.kind)))
                                              .arg(e.peakG, 0, 'f', 2));
        connect(item, &QAction::triggered, this,
                [this, i] { m_playback->JumpToEvent(static_cast<int>(i)); });
    }
    menu.addSeparator();
    QAction* about = menu.addAction(QStringLiteral("关于 Movastra(&A)..."));
    about->setData(int(kCmdAbout));
    QAction* chosen = menu.exec(globalPos);
    if (chosen == about)
        ShowAbout();
    else if (chosen == minimize)
        showMinimized();
}

void CPlayerDlg::GoToTimeCommand() {
    QInputDialog dialog(this);
    dialog.setObjectName(QStringLiteral("goToTimeDialog"));
    dialog.setWindowTitle(QStringLiteral("Go to time"));
    dialog.setLabelText(
        QStringLiteral("Clock time (hh:mm:ss) or position in the recording (m:ss.s):"));
    while (dialog.exec() == QDialog::Accepted && !m_playback->GoToTime(dialog.textValue())) {
        QMessageBox box(
            QMessageBox::Warning, windowTitle(),
            QStringLiteral("\"%1\" is not a time in this recording.").arg(dialog.textValue()),
            QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("goToTimeBox"));
        box.exec();
    }
}

void CPlayerDlg::ShowAbout() {
    CAboutDlg about(this);
    about.exec();
}

// --- Library of drives -------------------------------------------------------------------------

void CPlayerDlg::OpenLibrary(const QString& root) {
    const QString absolute = QDir(root).absolutePath();
    RememberLibrary(absolute);
    m_library->OpenDriveLibrary(absolute);
    SetImportLibrary(absolute);
}

void CPlayerDlg::SetImportLibrary(const QString& root) {
    m_importLibrary = root.isEmpty() ? QString() : QDir(root).absolutePath();
    // A card dismissed for one library is offered anew for another.
    m_dismissedCard.clear();
    m_cardWatcher->SetLibrary(m_importLibrary);
}

void CPlayerDlg::OpenLibraryCommand() {
    QFileDialog dialog(this, QStringLiteral("Open a library of drives"),
                       m_importLibrary.isEmpty() ? QDir::homePath() : m_importLibrary);
    dialog.setObjectName(QStringLiteral("openLibraryDialog"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        OpenLibrary(dialog.selectedFiles().first());
}

bool CPlayerDlg::EnsureImportLibrary() {
    if (!m_importLibrary.isEmpty())
        return true;
    QFileDialog dialog(this, QStringLiteral("Choose a folder for the library of drives"),
                       QDir::homePath());
    dialog.setObjectName(QStringLiteral("libraryFolderDialog"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    RememberLibrary(dialog.selectedFiles().first());
    SetImportLibrary(dialog.selectedFiles().first());
    return true;
}

void CPlayerDlg::ImportCardCommand() {
    if (m_importJob->running())
        return;
    QString start = m_cardWatcher->card();
    if (start.isEmpty())
        start = m_cardRoot.isEmpty() ? QDir::homePath() : m_cardRoot;
    QFileDialog dialog(this, QStringLiteral("Choose the camera card or folder to import"), start);
    dialog.setObjectName(QStringLiteral("importSourceDialog"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString source = dialog.selectedFiles().first();
    if (EnsureImportLibrary())
        StartImport(source);
}

bool CPlayerDlg::StartImport(const QString& source) {
    if (m_importLibrary.isEmpty() || source.isEmpty() ||
        !m_importJob->Start(m_importLibrary, {source}))
        return false;
    m_notice->ShowProgress(QStringLiteral("Importing %1…").arg(QDir::toNativeSeparators(source)), 0,
                           0);
    return true;
}

void CPlayerDlg::OnImportProgress() {
    if (!m_importJob->running())
        return;
    const ImportProgress p = m_importJob->progress();
    m_notice->ShowProgress(QStringLiteral("Importing: %1 of %2 files, %3 of %4")
                               .arg(p.filesDone)
                               .arg(p.filesTotal)
                               .arg(Size(p.bytesDone), Size(p.bytesTotal)),
                           p.bytesDone, p.bytesTotal);
}

void CPlayerDlg::OnImportFinished() {
    m_notice->hide();
    const ImportReport& r = m_importJob->report();
    QString text;
    QStringList details;
    if (!r.refusal.empty()) {
        text = QStringLiteral("Nothing was imported: %1").arg(QString::fromStdString(r.refusal));
    } else {
        const double seconds = std::max(r.seconds, 0.001);
        text = QStringLiteral("Copied %1 (%2, %3) in %4, %5/s.")
                   .arg(Plural(r.recordings, "recording", "recordings"),
                        Plural(r.copied, "file", "files"), Size(r.copiedBytes), Elapsed(r.seconds),
                        Size(static_cast<qint64>(double(r.copiedBytes) / seconds)));
        if (r.skipped > 0)
            text += QStringLiteral(" Skipped %1 already in the library.")
                        .arg(Plural(r.skipped, "file", "files"));
        if (r.cancelled)
            text += QStringLiteral(" Cancelled: the file being copied was removed.");
        if (!r.failed.empty())
            text +=
                QStringLiteral(" %1 failed.").arg(Plural(qint64(r.failed.size()), "file", "files"));
        for (const ImportFailure& f : r.failed)
            details << QStringLiteral("%1: %2").arg(FromPath(f.path),
                                                    QString::fromStdString(f.reason));
    }
    if (m_library->driveLibrary() == m_importJob->library())
        m_library->RefreshDriveLibrary();
    m_cardWatcher->Rescan();
    QMessageBox box(r.ok() ? QMessageBox::Information : QMessageBox::Warning, windowTitle(), text,
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("importReportBox"));
    if (!details.isEmpty())
        box.setDetailedText(details.join(QLatin1Char('\n')));
    box.exec();
}

void CPlayerDlg::OnCardOffer() {
    const CardOffer& offer = m_cardWatcher->offer();
    if (offer.card != m_dismissedCard)
        m_dismissedCard.clear();
    if (m_importJob->running())
        return;
    if (offer.card.isEmpty() || offer.card == m_dismissedCard) {
        m_notice->hide();
        return;
    }
    m_notice->ShowOffer(QStringLiteral("Camera card found: %1 (%2) —")
                            .arg(Plural(offer.newRecordings, "new recording", "new recordings"),
                                 Size(offer.newBytes)),
                        QStringLiteral("Import"));
}

void CPlayerDlg::ShowMapMenu(double latitude, double longitude, const QPoint& globalPos) {
    m_mapMenuPos = globalPos;
    const QString root = m_library->driveLibrary();
    auto passings = std::make_shared<Passings>();
    passings->latitude = latitude;
    passings->longitude = longitude;
    if (root.isEmpty()) {
        ShowPassingsMenu(*passings);
        return;
    }
    m_passingsJob.Start([passings, root = QFile::encodeName(root).toStdString()] {
        LibraryIndex index;
        std::string error;
        if (index.Open(root) != LibraryIndex::OpenResult::Ok)
            passings->error = QString::fromStdString(index.error());
        else if (!FindPassings(index, passings->latitude, passings->longitude, passings->found,
                               error))
            passings->error = QString::fromStdString(error);
        return passings;
    });
}

void CPlayerDlg::ShowPassingsMenu(const Passings& passings) {
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("mapMenu"));
    const QString title = QStringLiteral("Recordings that passed here");
    const QString root = m_library->driveLibrary();
    // Without a library there is nothing to look in: the entry is there, greyed.
    if (root.isEmpty()) {
        menu.addAction(title)->setEnabled(false);
        menu.exec(m_mapMenuPos);
        return;
    }
    QMenu* passed = menu.addMenu(title);
    passed->setObjectName(QStringLiteral("passedMenu"));
    if (!passings.error.isEmpty())
        passed->addAction(QStringLiteral("The library cannot be read: %1").arg(passings.error))
            ->setEnabled(false);
    else if (passings.found.empty())
        passed->addAction(QStringLiteral("None within %1 m").arg(kPassingRadiusMetres))
            ->setEnabled(false);
    const QString place = QStringLiteral("%1,%2")
                              .arg(passings.latitude, 0, 'f', 6)
                              .arg(passings.longitude, 0, 'f', 6);
    for (const LibraryPassing& p : passings.found) {
        const LibraryRecording& r = p.recording;
        const QString when =
            r.hasStart ? QDateTime::fromSecsSinceEpoch(r.start + p.second, QTimeZone::utc())
                             .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                       : QStringLiteral("%1 s in").arg(p.second);
        const QString name = FromPath(r.path.substr(r.path.rfind('/') + 1));
        QAction* item = passed->addAction(QStringLiteral("%1 — %2").arg(when, name));
        const QString movie = root + QLatin1Char('/') + FromPath(r.path);
        const double second = p.second;
        // After the menu has closed: opening the recording may show a message of its own.
        connect(item, &QAction::triggered, this, [this, movie, second, place] {
            QTimer::singleShot(
                0, this, [this, movie, second, place] { m_library->Reveal(movie, second, place); });
        });
    }
    menu.exec(m_mapMenuPos);
}

} // namespace quello
