#include "CPlayerDlg.h"

#include "CAboutDlg.h"
#include "ControlIds.h"

#include "device/CDlgSetting.h"
#include "device/DeviceDrive.h"
#include "outputs/CDlgKMLConv.h"
#include "outputs/PrintCapture.h"
#include "playback/CVideoHost.h"
#include "recordings/MovieHeader.h"
#include "recordings/MovieListing.h"
#include "recordings/TelemetryParser.h"
#include "skin/CDashPanel.h"
#include "skin/CSkinButton.h"
#include "skin/CSkinSlider.h"
#include "skin/DialogUnits.h"
#include "skin/MainBackground.h"
#include "skin/SkinBitmaps.h"
#include "views/CDlgGMap.h"
#include "views/CMyWaveForm.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTableWidget>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>

static void InitAppResources() {
    Q_INIT_RESOURCE(app);
}

namespace quello {

namespace {

constexpr int kWindowWidth = 1024;
constexpr int kWindowHeight = 768;
constexpr int kTitleBandHeight = 25; // a press at client y <= 25 drags the window
constexpr int kRowHeight = 17;

// Engine rate index for each position of the rate slider (1..5 = -4, -2, 1, 2, 4).
constexpr int kRateStepTable[6] = {0, 6, 5, 0, 1, 2};

// The skinned buttons: id, pixel rectangle, skin bitmap. Play and pause share one place;
// the sync timer shows one of them.
struct SkinnedButton {
    int id;
    QRect rect;
    int bitmap;
};
const SkinnedButton kSkinnedButtons[] = {
    {kIdMinimize, {935, 0, 24, 16}, kBmpMinimize},
    {kIdClose, {960, 0, 41, 16}, kBmpClose},
    {kIdAddFolder, {696, 44, 50, 20}, kBmpAddFolder},
    {kIdClear, {747, 44, 50, 20}, kBmpClear},
    {kIdStop, {187, 724, 25, 25}, kBmpStop},
    {kIdPrevious, {215, 724, 51, 24}, kBmpPrevious},
    {kIdPlay, {267, 716, 41, 41}, kBmpPlay},
    {kIdPause, {267, 716, 41, 41}, kBmpPause},
    {kIdNext, {309, 724, 51, 24}, kBmpNext},
    {kIdSlower, {413, 721, 34, 27}, kBmpSlower},
    {kIdFaster, {593, 721, 32, 27}, kBmpFaster},
    {kIdKml, {780, 715, 50, 52}, kBmpKml},
    {kIdPrint, {838, 715, 50, 52}, kBmpPrint},
    {kIdSnapshot, {894, 715, 50, 52}, kBmpSnapshot},
    {kIdSettings, {950, 715, 50, 52}, kBmpSettings},
};

// Plain buttons of the template at their dialog-unit places. Several land outside the
// 1024 x 768 window, as they always did; their commands stay reachable from the keyboard, the
// library's menu, drops and the folder button.
struct PlainButton {
    int id;
    const char* text;
    int x, y, w, h;
    bool visible;
};
const PlainButton kPlainButtons[] = {
    {kIdStepBack, "|<", 0, 453, 15, 14, true},
    {kIdStepForward, "|>", 43, 454, 15, 14, true},
    {kIdRate2, ">>", 29, 453, 15, 14, true},
    {kIdRate4, "4X", 462, 452, 19, 14, false},
    {kIdRateMinus2, "<<", 14, 453, 15, 14, true},
    {kIdRateMinus4, "-4X", 443, 452, 18, 14, false},
    {kIdAddFile, "+", 585, 25, 13, 12, true},
    {kIdRemove, "-", 585, 39, 13, 12, true},
    {kIdSecondMonitor, ">>> To Sec Monitor", 512, 25, 59, 13, false},
};

int StateOf(const CMediaGraph& engine) {
    return static_cast<int>(engine.GetState());
}

std::string ToPath(const QString& path) {
    return path.toUtf8().toStdString();
}
QString FromPath(const std::string& path) {
    return QString::fromUtf8(path.c_str());
}

QString DialogStartDir(const QString& remembered) {
    return remembered.isEmpty() ? QDir::homePath() : remembered;
}

} // namespace

CPlayerDlg::CPlayerDlg(QWidget* parent) : QDialog(parent) {
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

    BuildControls();
    ConnectCommands();
    ApplyVisualStyle();

    // Parented and named so measurements can find the tick; members unparent on destruction.
    m_syncTimer.setParent(this);
    m_syncTimer.setObjectName(QStringLiteral("syncTimer"));
    m_syncTimer.setInterval(100);
    connect(&m_syncTimer, &QTimer::timeout, this, &CPlayerDlg::OnSyncTimer);
    m_syncTimer.start();
    m_scanTimer.setInterval(100);
    m_scanTimer.setSingleShot(true);
    connect(&m_scanTimer, &QTimer::timeout, this, &CPlayerDlg::OnScanTimer);
    m_scanTimer.start();
}

CPlayerDlg::~CPlayerDlg() {
    m_syncTimer.stop();
    m_scanTimer.stop();
    m_engine.CloseMovie();
}

template <class T> T* CPlayerDlg::Place(T* widget, int id, const QRect& rect) {
    widget->setObjectName(QStringLiteral("ctl%1").arg(id));
    widget->setGeometry(rect);
    return widget;
}

QWidget* CPlayerDlg::control(int id) const {
    return findChild<QWidget*>(QStringLiteral("ctl%1").arg(id));
}

void CPlayerDlg::BuildControls() {
    // Pictures first, so every control lies above them.
    m_titleImage = Place(new QLabel(this), kIdTitleImage, QRect(0, 0, kWindowWidth, 24));
    m_titleImage->setPixmap(QPixmap::fromImage(SkinBitmaps::Load(kBmpTitleBand)));
    m_titleImage->setAttribute(Qt::WA_TransparentForMouseEvents);

    const QImage panelImage = SkinBitmaps::Load(kBmpPanel);
    m_panel =
        Place(new CDashPanel(this), kIdPanel,
              QRect(0, kWindowHeight - panelImage.height(), kWindowWidth, panelImage.height()));

    auto* title = Place(new QLabel(QStringLiteral("Quello Player"), this), kIdTitleText,
                        DialogUnitsToPixels(19, 3, 36, 8));
    title->setAttribute(Qt::WA_TransparentForMouseEvents);
    // The template's width was measured for a narrower font; never cut the name.
    title->resize(std::max(title->width(), title->sizeHint().width()), title->height());

    m_video = Place(new CVideoHost(this), kIdVideo, DialogUnitsToPixels(10, 22, 365, 273));
    m_video->setFocusPolicy(Qt::StrongFocus);
    m_video->hide();

    for (const SkinnedButton& b : kSkinnedButtons) {
        auto* button = Place(new CSkinButton(b.id, this), b.id, b.rect);
        button->LoadSkin(b.bitmap, 4, 4, 4, 4, 4);
        if (b.id == kIdPlay)
            m_play = button;
        else if (b.id == kIdPause)
            m_pause = button;
    }
    m_pause->hide();

    for (const PlainButton& b : kPlainButtons) {
        auto* button = Place(new QPushButton(QString::fromUtf8(b.text), this), b.id,
                             DialogUnitsToPixels(b.x, b.y, b.w, b.h));
        button->setVisible(b.visible);
        // Enter in the library must not press whichever button the dialog deems default.
        button->setAutoDefault(false);
    }
    Place(new QLabel(this), kIdUnused1017, DialogUnitsToPixels(482, 452, 39, 14))->hide();
    Place(new QLabel(QStringLiteral("-"), this), kIdVolumeMinusLabel,
          DialogUnitsToPixels(12, 442, 8, 8));
    Place(new QLabel(QStringLiteral("+"), this), kIdVolumePlusLabel,
          DialogUnitsToPixels(68, 442, 8, 8));

    m_position = Place(new CSkinSlider(this), kIdPosition, QRect(30, 525, 636, 20));
    m_position->setRange(0, 100);
    m_position->setPageStep(1);
    m_position->setValue(0);

    m_volume = Place(new CSkinSlider(this), kIdVolume, QRect(35, 727, 81, 20));
    m_volume->setRange(0, 10);
    m_volume->setPageStep(1);
    m_volume->setValue(0);

    m_rate = Place(new CSkinSlider(this), kIdRate, QRect(444, 727, 154, 20));
    m_rate->setRange(1, 5);
    m_rate->setPageStep(2);
    m_rate->setMinimumPageSize(2);
    m_rate->setValue(3);
    m_rate->setEnabled(false);

    m_recycle = Place(new QCheckBox(QStringLiteral("Recycle"), this), kIdRecycle,
                      DialogUnitsToPixels(464, 27, 43, 9));

    m_list = Place(new QTableWidget(0, 3, this), kIdLibrary, DialogUnitsToPixels(387, 49, 187, 94));
    m_list->horizontalHeader()->hide();
    m_list->verticalHeader()->hide();
    m_list->setShowGrid(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setWordWrap(false);
    m_list->setColumnWidth(0, 12);
    m_list->setColumnWidth(1, 202);
    m_list->setColumnWidth(2, 130);
    m_list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_list->verticalHeader()->setDefaultSectionSize(kRowHeight);
    m_list->setTextElideMode(Qt::ElideLeft); // the file name is the telling part of a path
    m_list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    m_waveform =
        Place(new CMyWaveForm(this), kIdWaveform, DialogUnitsToPixels(kWaveformTemplateRect));

    m_mapHost = Place(new QFrame(this), kIdMapHost, DialogUnitsToPixels(387, 150, 187, 145));
    static_cast<QFrame*>(m_mapHost)->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_mapHost->hide();

    // The speed read-out lies over the panel, so it is made after it.
    m_speedText = Place(new QLabel(QStringLiteral("0Km/H "), this), kIdSpeedText,
                        DialogUnitsToPixels(469, 395, 34, 8));
    m_speedText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_speedText->setAttribute(Qt::WA_TransparentForMouseEvents);

    // The window-level event filter: slider grab, waveform right-click, library keys and menu.
    m_position->installEventFilter(this);
    m_waveform->installEventFilter(this);
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);
}

void CPlayerDlg::ApplyVisualStyle() {
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    m_video->setAutoFillBackground(true);
    m_video->setPalette(black);
    m_mapHost->setAutoFillBackground(true);
    m_mapHost->setPalette(black);

    QPalette recycle = m_recycle->palette();
    // A button fills its background with the Button role, so both roles carry the colour.
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Button})
        recycle.setColor(role, QColor(0x0A, 0x0A, 0x0A));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText})
        recycle.setColor(role, Qt::white);
    m_recycle->setAutoFillBackground(true);
    m_recycle->setPalette(recycle);

    for (int id : {int(kIdTitleText), int(kIdSpeedText)}) {
        QWidget* label = control(id);
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, Qt::white);
        label->setPalette(p);
        label->setAttribute(Qt::WA_TranslucentBackground);
    }

    // The played row stays visibly selected when the list does not have the focus.
    QPalette list = m_list->palette();
    list.setColor(QPalette::Inactive, QPalette::Highlight,
                  list.color(QPalette::Active, QPalette::Highlight));
    list.setColor(QPalette::Inactive, QPalette::HighlightedText,
                  list.color(QPalette::Active, QPalette::HighlightedText));
    m_list->setPalette(list);
}

void CPlayerDlg::ConnectCommands() {
    auto onClick = [this](int id, auto handler) {
        auto* button = qobject_cast<QAbstractButton*>(control(id));
        connect(button, &QAbstractButton::clicked, this, handler);
    };
    onClick(kIdClose, [this] { accept(); });
    onClick(kIdMinimize, [this] { showMinimized(); });
    onClick(kIdPlay, [this] { OnPlay(); });
    onClick(kIdPause, [this] { OnPause(); });
    onClick(kIdStop, [this] { StopPlayback(); });
    onClick(kIdPrevious, [this] { OpenEntry(EntryStep::Previous, true); });
    onClick(kIdNext, [this] { OpenEntry(EntryStep::Next, true); });
    onClick(kIdRate2, [this] { OnFixedRate(1); });
    onClick(kIdRate4, [this] { OnFixedRate(2); });
    onClick(kIdRateMinus2, [this] { OnFixedRate(5); });
    onClick(kIdRateMinus4, [this] { OnFixedRate(6); });
    onClick(kIdStepBack, [this] { OnStep(4, -1); });
    onClick(kIdStepForward, [this] { OnStep(0, 1); });
    onClick(kIdSlower, [this] { OnRateStep(-1); });
    onClick(kIdFaster, [this] { OnRateStep(+1); });
    onClick(kIdSnapshot, [this] { OnFrameCommand([this] { SaveSnapshot(); }); });
    onClick(kIdPrint, [this] { OnFrameCommand([this] { PrintCurrentFrame(); }); });
    // The side dialogs share nothing with playback; their results are not needed here.
    onClick(kIdSettings, [this] {
        CDlgSetting dialog(this);
        dialog.Run(m_cardRoot);
    });
    onClick(kIdKml, [this] {
        CDlgKMLConv dialog(this);
        dialog.exec();
    });
    onClick(kIdAddFile, [this] { AddRecordingFromDialog(); });
    onClick(kIdAddFolder, [this] { AddRecordingFolder(); });
    onClick(kIdRemove, [this] { RemoveSelectedRecording(false); });
    onClick(kIdClear, [this] { ClearLibrary(); });
    // The second-monitor button (1047) stays hidden and has no command.

    connect(m_position, &CSkinSlider::released, this, &CPlayerDlg::OnPositionReleased);
    connect(m_volume, &CSkinSlider::released, this, &CPlayerDlg::OnVolumeReleased);
    connect(m_waveform, &CMyWaveForm::clicked, this, &CPlayerDlg::OnWaveformClicked);
    connect(m_video, &CVideoHost::DoubleClicked, this, &CPlayerDlg::OnVideoDoubleClicked);
    connect(m_video, &CVideoHost::FullScreenChanged, this, [this](bool on) {
        if (m_map)
            m_map->SetCovered(on);
        // Leaving full screen by Esc on the picture counts as the second toggle.
        if (!on)
            m_fullScreenNext = true;
    });
    connect(m_list, &QTableWidget::itemSelectionChanged, this,
            &CPlayerDlg::OnLibrarySelectionChanged);
    connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &CPlayerDlg::OnLibrarySelectionChanged);
    connect(m_list, &QTableWidget::cellDoubleClicked, this, &CPlayerDlg::OnLibraryDoubleClicked);

    // Keyboard: what a desktop player offers. Application-wide so that the keys also work
    // on the full-screen picture; modal dialogs block them.
    auto shortcut = [this](QKeySequence key, auto handler) {
        auto* s = new QShortcut(key, this);
        s->setContext(Qt::ApplicationShortcut);
        connect(s, &QShortcut::activated, this, handler);
    };
    shortcut(QKeySequence(Qt::Key_Space), [this] {
        if (m_engine.GetState() == MediaState::Running)
            OnPause();
        else
            OnPlay();
    });
    shortcut(QKeySequence(Qt::Key_Right), [this] { OnStep(0, 1); });
    shortcut(QKeySequence(Qt::Key_Left), [this] { OnStep(4, -1); });
    shortcut(QKeySequence(Qt::Key_F), [this] { OnVideoDoubleClicked(); });
    shortcut(QKeySequence(Qt::Key_Escape), [this] { LeaveFullScreen(); });
    shortcut(QKeySequence(Qt::ALT | Qt::Key_Space),
             [this] { ShowWindowMenu(mapToGlobal(QPoint(0, kTitleBandHeight))); });
}

// --- Start-up --------------------------------------------------------------------------

void CPlayerDlg::SetCardRoot(const QString& root) {
    m_cardRoot = root;
}

QStringList CPlayerDlg::AddStartupPaths(const QStringList& paths) {
    QStringList unusable;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            std::vector<std::string> movies = ListMovieFiles(ToPath(info.absoluteFilePath()));
            if (AddMovieList(std::move(movies), false) > 0)
                break;
        } else if (info.isFile()) {
            if (!AddRecording(info.absoluteFilePath()))
                break;
        } else {
            unusable << path;
        }
    }
    return unusable;
}

void CPlayerDlg::OnScanTimer() {
    m_scanTimer.stop();
    ScanDeviceRecordings();
    m_cardScanned = true;
    emit cardScanDone();
    // The browser engine takes a while to start: the filled window reaches the screen first.
    // Until the map's page has loaded, positions for it are dropped anyway.
    if (isVisible()) {
        m_list->repaint();
        QGuiApplication::sync();
    }
    QTimer::singleShot(0, this, [this] {
        if (!m_map) {
            m_map = new CDlgGMap(m_mapHost);
            m_map->hide();
        }
    });
}

// --- Recording library -------------------------------------------------------------------

bool CPlayerDlg::AddRecording(const QString& moviePath) {
    RecordingRow row;
    if (!m_library.Add(ToPath(moviePath), row))
        return false;
    const int r = m_list->rowCount();
    m_list->insertRow(r);
    m_list->setItem(r, 0, new QTableWidgetItem(FromPath(row.marker)));
    m_list->setItem(r, 1, new QTableWidgetItem(FromPath(row.path)));
    m_list->setItem(r, 2, new QTableWidgetItem(FromPath(row.timeText)));
    return true;
}

// Adds a batch in the library's order for its source; returns how many the full library
// refused.
int CPlayerDlg::AddMovieList(std::vector<std::string> paths, bool cardOrder) {
    if (cardOrder)
        SortCardOrder(paths);
    else
        SortFolderOrder(paths);
    int added = 0;
    for (const std::string& path : paths) {
        if (!AddRecording(FromPath(path)))
            break;
        ++added;
    }
    return int(paths.size()) - added;
}

void CPlayerDlg::ReportLibraryFull(int refused) {
    // After the event that added: a drop's source is not kept waiting on the message.
    QTimer::singleShot(0, this, [this, refused] {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Quello Player"),
                        QStringLiteral("The library is full (%1 recordings): %2 movies were not "
                                       "added.")
                            .arg(RecordingLibrary::kCapacity)
                            .arg(refused),
                        QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("libraryFullBox"));
        box.exec();
    });
}

void CPlayerDlg::AddRecordingFromDialog() {
    QFileDialog dialog(this, QStringLiteral("Open Record File..."), DialogStartDir(m_openDir),
                       QStringLiteral("Video Files(*.mov)"));
    dialog.setObjectName(QStringLiteral("openRecordDialog"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    const int result = dialog.exec();
    m_openDir = dialog.directory().absolutePath();
    if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    AddRecording(dialog.selectedFiles().first());
}

void CPlayerDlg::AddRecordingFolder() {
    QFileDialog dialog(this, QStringLiteral("Select directory"), DialogStartDir(m_folderDir));
    dialog.setObjectName(QStringLiteral("selectDirectoryDialog"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    const int result = dialog.exec();
    m_folderDir = dialog.directory().absolutePath();
    if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString folder = dialog.selectedFiles().first();
    m_folderDir = folder;
    if (const int refused = AddMovieList(ListMovieFiles(ToPath(folder)), false); refused > 0)
        ReportLibraryFull(refused);
}

void CPlayerDlg::ScanDeviceRecordings() {
    std::string root;
    if (!m_cardRoot.isEmpty()) {
        root = ToPath(QDir(m_cardRoot).absolutePath());
        if (root.empty() || root.back() != '/')
            root += '/';
    } else {
        SetupRecord record;
        if (!FindDeviceDrive(root, record))
            return;
    }
    for (const std::string& folder : CardMediaFolders(root)) {
        if (AddMovieList(ListMovieFiles(folder), true) > 0)
            break;
    }
}

int CPlayerDlg::SelectedRow() const {
    const QList<QTableWidgetSelectionRange> ranges = m_list->selectedRanges();
    int first = -1;
    for (const QTableWidgetSelectionRange& range : ranges) {
        if (first < 0 || range.topRow() < first)
            first = range.topRow();
    }
    return first;
}

void CPlayerDlg::SelectRow(int row) {
    if (row < 0 || row >= m_list->rowCount())
        return;
    m_list->setCurrentCell(row, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void CPlayerDlg::RemoveSelectedRecording(bool deleteFiles) {
    const int n = SelectedRow();
    if (n < 0 || n >= m_library.entryCount())
        return;
    if (n == m_library.currentIndex())
        ReleaseBeforeRemoval();
    {
        // The removal is no new choice of recording.
        const QSignalBlocker block(m_list);
        const QSignalBlocker blockSelection(m_list->selectionModel());
        m_list->removeRow(n);
        m_list->clearSelection();
    }
    if (deleteFiles)
        DeleteRecordingFiles(m_library.entry(n));
    m_library.Remove(n);
}

void CPlayerDlg::ClearLibrary() {
    StopPlayback();
    {
        const QSignalBlocker block(m_list);
        const QSignalBlocker blockSelection(m_list->selectionModel());
        m_list->setRowCount(0);
    }
    m_library.Clear();
}

void CPlayerDlg::ShowLibraryMenu(const QPoint& globalPos) {
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("libraryMenu"));
    menu.setTitle(QStringLiteral("Delete"));
    QAction* remove = menu.addAction(QStringLiteral("Remove"));
    QAction* removeFiles = menu.addAction(QStringLiteral("Remove files from disk"));
    remove->setData(int(kCmdRemove));
    removeFiles->setData(int(kCmdRemoveFiles));
    QAction* chosen = menu.exec(globalPos);
    if (chosen == remove)
        RemoveSelectedRecording(false);
    else if (chosen == removeFiles)
        RemoveSelectedRecording(true);
}

void CPlayerDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CPlayerDlg::dropEvent(QDropEvent* event) {
    int refused = 0;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        if (!IsDroppedMovieName(ToPath(path)))
            continue;
        if (refused > 0 || !AddRecording(path))
            ++refused;
    }
    event->acceptProposedAction();
    if (refused > 0)
        ReportLibraryFull(refused);
}

// --- Playback controller -----------------------------------------------------------------

void CPlayerDlg::OpenEntry(EntryStep step, bool autoPlay) {
    int index = m_library.currentIndex();
    if (step == EntryStep::Next) {
        if (index >= m_list->rowCount() - 1)
            return;
        m_library.SetCurrentIndex(++index);
    } else if (step == EntryStep::Previous) {
        if (index <= 0)
            return;
        m_library.SetCurrentIndex(--index);
    }
    if (m_library.entryCount() <= 0 || index >= m_library.entryCount() || index < 0)
        return;

    const RecordingEntry& entry = m_library.entry(index);
    const int opened = m_engine.OpenMovie(FromPath(entry.moviePath), m_video, this);
    if (opened != 0) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Quello Player"),
                        QStringLiteral("Play movie file failed!"), QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("playFailedBox"));
        box.exec();
    } else {
        const int duration = static_cast<int>(m_engine.GetDurationSeconds());
        m_position->setRange(0, duration * 1000 / 100);

        std::tm created{};
        std::uint32_t headerDuration = static_cast<std::uint32_t>(duration);
        int readOnly = 0;
        ReadMovieHeader(entry.moviePath, created, headerDuration, readOnly);
        // Without a readable creation time the axis starts at midnight.
        const int axisStart = created.tm_mday != 0
                                  ? created.tm_hour * 3600 + created.tm_min * 60 + created.tm_sec
                                  : 0;
        m_waveform->SetTotalSeconds(duration);
        m_waveform->SetAxisSeconds(axisStart, axisStart + static_cast<int>(headerDuration));

        LoadTelemetry(FromPath(entry.telemetryPath));

        if (m_volumeLevel == -1) {
            m_volumeLevel = m_engine.GetVolumeLevel();
            m_volume->setValue(m_volumeLevel);
        } else {
            m_engine.SetVolumeLevel(m_volumeLevel);
        }
        m_rate->setValue(3);
        if (autoPlay)
            m_engine.TogglePlayPause();
        m_video->show();
    }
    m_list->setFocus();
    SelectRow(index);
}

bool CPlayerDlg::LoadTelemetry(const QString& path) {
    const bool loaded = ParseTelemetryFile(ToPath(path), m_telemetry);
    m_waveform->SetGSensorData(m_telemetry.samples, m_telemetry.sampleCount);
    m_waveform->SetSpeedData(m_telemetry.speeds, m_telemetry.fixCount);
    m_waveform->repaint();
    return loaded;
}

void CPlayerDlg::SyncTelemetry() {
    const MediaState state = m_engine.GetState();
    const double position = m_engine.GetPositionSeconds();
    const int tenths = static_cast<int>(position * 10);
    if (state == MediaState::Running || state == MediaState::Stopped)
        m_position->setValue(tenths);
    m_waveform->SetCursor(tenths);
    const int second = static_cast<int>(position);
    m_waveform->SetCurrentSecond(second);
    m_waveform->update();

    // The fix of the second that has just passed. Without one (the first second, past the
    // telemetry, none loaded) the read-outs go idle: they never show a second no longer on
    // screen, such as the last one played before a rewind or another recording's.
    if (second < 1 || second > m_telemetry.fixCount) {
        m_speedText->setText(QStringLiteral("0Km/H "));
        if (m_panel->lastSpeed() != 0)
            m_panel->DrawSpeedNeedle(0);
        if (m_panel->lastHeading() != 180)
            m_panel->DrawHeadingDial(180);
        return;
    }
    const GpsFix& fix = m_telemetry.fixes[second - 1];
    if (std::strlen(fix.longitude) >= 7 && std::strlen(fix.latitude) >= 7) {
        if (m_map)
            m_map->SetLgtLat(QString::fromLatin1(fix.latitude), QString::fromLatin1(fix.longitude),
                             QString::number(fix.speed));
        m_mapHost->show();
        m_speedText->setText(QStringLiteral("%1Km/H ").arg(fix.speed));
        if (fix.speed != m_panel->lastSpeed())
            m_panel->DrawSpeedNeedle(fix.speed);
        if (fix.heading != m_panel->lastHeading())
            m_panel->DrawHeadingDial(fix.heading);
    } else {
        m_panel->DrawSpeedNeedle(0);
        m_panel->DrawHeadingDial(180);
    }
}

void CPlayerDlg::StopPlayback() {
    m_userStopped = true;
    m_engine.StopAndRewind();
    SyncTelemetry();
}

void CPlayerDlg::ReleaseBeforeRemoval() {
    if (m_engine.GetState() == MediaState::Stopped)
        return;
    m_userStopped = true;
    m_engine.StopAndRewind();
    SyncTelemetry();
    m_engine.CloseMovie();
    m_waveform->ClearData();
    if (m_map)
        m_map->SetLgtLat(QString(), QString(), QString());
}

void CPlayerDlg::OnPlay() {
    m_engine.SetRateIndex(0);
    m_engine.TogglePlayPause();
    m_userStopped = false;
}

void CPlayerDlg::OnPause() {
    m_engine.Pause();
}

void CPlayerDlg::OnFixedRate(int rateIndex) {
    const MediaState state = m_engine.GetState();
    m_engine.SetRateIndex(rateIndex);
    if (state == MediaState::Paused || state == MediaState::Closed)
        m_engine.TogglePlayPause();
}

void CPlayerDlg::OnStep(int rateIndex, int direction) {
    m_engine.SetRateIndex(rateIndex);
    m_engine.StepForward(direction);
}

void CPlayerDlg::OnRateStep(int delta) {
    const int pos = m_rate->value();
    if ((delta < 0 && pos <= 1) || (delta > 0 && pos >= 5))
        return;
    const int next = pos + delta;
    m_rate->setValue(next);
    const MediaState state = m_engine.GetState();
    m_engine.SetRateIndex(kRateStepTable[next]);
    if (state == MediaState::Stopped)
        return;
    if (state == MediaState::Running)
        m_engine.Pause();
    m_engine.TogglePlayPause();
}

void CPlayerDlg::OnPositionReleased() {
    if (m_engine.GetState() == MediaState::Stopped)
        return;
    m_engine.SetPositionSeconds(m_position->value() * 0.1);
    if (m_stateBeforeSeek == static_cast<int>(MediaState::Running))
        m_engine.TogglePlayPause();
    m_stateBeforeSeek = -1;
}

void CPlayerDlg::OnVolumeReleased() {
    const int level = m_volume->value();
    if (m_engine.GetState() == MediaState::Stopped)
        return;
    m_engine.SetVolumeLevel(level);
    m_volumeLevel = level;
}

void CPlayerDlg::OnWaveformClicked() {
    if (m_engine.GetState() != MediaState::Stopped && m_waveform->clickedIndex() >= 0)
        m_engine.SetPositionSeconds(m_waveform->clickedIndex() * 100 * 0.001);
}

void CPlayerDlg::OnVideoDoubleClicked() {
    m_engine.SetFullScreen(m_fullScreenNext);
    m_fullScreenNext = !m_fullScreenNext;
}

void CPlayerDlg::LeaveFullScreen() {
    if (m_fullScreenNext)
        return; // not in full screen
    m_engine.SetFullScreen(false);
    m_fullScreenNext = true;
}

void CPlayerDlg::OnLibrarySelectionChanged() {
    // A row counts as chosen when it is both selected and the current (focused) row.
    const int row = SelectedRow();
    const QModelIndex current = m_list->currentIndex();
    if (row < 0 || !current.isValid() || current.row() != row)
        return;
    if (row == m_library.currentIndex() || m_engine.GetState() == MediaState::Running)
        return;
    m_library.SetCurrentIndex(row);
    OpenEntry(EntryStep::Current, false);
}

void CPlayerDlg::OnLibraryDoubleClicked() {
    const int row = SelectedRow();
    if (row < 0)
        return;
    m_library.SetCurrentIndex(row);
    OpenEntry(EntryStep::Current, true);
}

void CPlayerDlg::SetPlayPauseVisibility(bool running) {
    m_pause->setVisible(running);
    m_play->setVisible(!running);
}

void CPlayerDlg::OnSyncTimer() {
    const MediaState state = m_engine.GetState();
    if (state != MediaState::Stopped)
        SyncTelemetry();
    SetPlayPauseVisibility(state == MediaState::Running);
}

void CPlayerDlg::OnGraphNotify() {
    const MediaState before = m_engine.GetState();
    m_engine.DrainGraphEvents();
    if (before == MediaState::Stopped || m_engine.GetState() != MediaState::Stopped)
        return;
    // The movie has run out.
    if (!m_userStopped && m_recycle->isChecked())
        OpenEntry(EntryStep::Next, true);
    SyncTelemetry();
    m_userStopped = false;
}

void CPlayerDlg::OnFrameCommand(const std::function<void()>& work) {
    const MediaState state = m_engine.GetState();
    if (state == MediaState::Stopped)
        return;
    const bool wasRunning = state == MediaState::Running;
    if (wasRunning)
        m_engine.Pause();
    work();
    if (wasRunning)
        m_engine.TogglePlayPause();
}

void CPlayerDlg::SaveSnapshot() {
    QFileDialog dialog(this, QStringLiteral("Set JPG file name..."), DialogStartDir(m_snapshotDir),
                       QStringLiteral("Video Files(*.jpg)"));
    dialog.setObjectName(QStringLiteral("snapshotDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite); // an existing file is replaced
    dialog.setDefaultSuffix(QStringLiteral("jpg"));
    const int result = dialog.exec();
    m_snapshotDir = dialog.directory().absolutePath();
    if (result == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        const QString path = dialog.selectedFiles().first();
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const bool saved = m_engine.SaveFrameAsJpeg(path) == 1;
        QApplication::restoreOverrideCursor();
        if (!saved) {
            // A full disk or a folder that takes no files: the writer has left nothing behind.
            QMessageBox box(QMessageBox::Warning, QStringLiteral("Quello Player"),
                            QStringLiteral("Save image failed!"), QMessageBox::Ok, this);
            box.setObjectName(QStringLiteral("snapshotFailedBox"));
            box.setInformativeText(QDir::toNativeSeparators(path));
            box.exec();
        }
    }
}

void CPlayerDlg::PrintCurrentFrame() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    dialog.setObjectName(QStringLiteral("printDialog"));
    // One page: no page range or selection to choose; printing to a file is how a PDF is made.
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize |
                      QAbstractPrintDialog::PrintCollateCopies);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool printed = PrintCurrentFrameOn(printer);
    QApplication::restoreOverrideCursor();
    if (!printed) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Quello Player"),
                        QStringLiteral("Print failed!"), QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("printFailedBox"));
        box.exec();
    }
}

bool CPlayerDlg::PrintCurrentFrameOn(QPrinter& printer) {
    std::optional<PrintedFix> fix;
    const PrintPageContent content = CapturePrintContent(m_engine, *m_waveform, m_telemetry, fix);
    if (fix && m_map)
        m_map->SetLgtLat(fix->latitude, fix->longitude, fix->speed);
    printer.setDocName(QStringLiteral("Movastra print service"));
    // A PDF file is the user's: replaced whole or not at all.
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
        return SavePrintPagePdf(printer, content,
                                QFile::encodeName(printer.outputFileName()).toStdString());
    return PaintPrintPage(printer, content);
}

// --- Window-level handlers -----------------------------------------------------------------

bool CPlayerDlg::event(QEvent* event) {
    if (event->type() == CMediaGraph::kGraphNotifyEvent) {
        OnGraphNotify();
        return true;
    }
    return QDialog::event(event);
}

bool CPlayerDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (watched == m_position && mouse->button() == Qt::LeftButton) {
            m_stateBeforeSeek = StateOf(m_engine);
            m_engine.Pause();
        } else if (watched == m_waveform && mouse->button() == Qt::RightButton) {
            m_waveform->ToggleSpeedView();
        }
    } else if (event->type() == QEvent::ContextMenu && watched == m_list->viewport()) {
        ShowLibraryMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    } else if (event->type() == QEvent::KeyPress && watched == m_list) {
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
            // Never deletes files: that takes the menu's explicit command.
            RemoveSelectedRecording(false);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CPlayerDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintMainBackground(painter);
}

void CPlayerDlg::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    m_engine.InitVideoWindow();
}

void CPlayerDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && event->position().y() <= kTitleBandHeight) {
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
    int x = pos().x() + (cursor.x() - m_dragAnchor.x());
    int y = pos().y() + (cursor.y() - m_dragAnchor.y());
    x = std::max(x, 0);
    y = std::max(y, 0);
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
    if (event->pos().y() <= kTitleBandHeight) {
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
    QAction* about = menu.addAction(QStringLiteral("关于 Movastra(&A)..."));
    about->setData(int(kCmdAbout));
    QAction* chosen = menu.exec(globalPos);
    if (chosen == about)
        ShowAbout();
    else if (chosen == minimize)
        showMinimized();
}

void CPlayerDlg::ShowAbout() {
    CAboutDlg about(this);
    about.exec();
}

} // namespace quello
