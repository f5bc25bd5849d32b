#include "CDlgKMLConv.h"

#include "outputs/KmlConverter.h"
#include "skin/DialogUnits.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QUrl>

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace quello {

namespace {

constexpr int kIdList = 1021;
constexpr int kIdAddFile = 1022;
constexpr int kIdAddFolder = 1023;
constexpr int kIdCancel = 1040;
constexpr int kIdRemoveOne = 1042;
constexpr int kIdRemoveAll = 1043;
constexpr int kIdOutputFolder = 1046;
constexpr int kIdChooseOutputFolder = 1047;
constexpr int kIdConvert = 1048;
constexpr int kIdOutputLabel = 1049;

constexpr int kColFile = 0;
constexpr int kColStatus = 1;
constexpr int kColOutput = 2;

const char* const kDescription = "GPS Log data.";
constexpr qint64 kProgressPaintMs = 100;

std::string ToPath(const QString& path) {
    return path.toUtf8().toStdString();
}
QString FromPath(const std::string& path) {
    return QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
}

// Where the next log-file dialog opens: the user's home folder at first, then wherever the
// previous one ended, in any instance of the dialog.
QString& LastLogFolder() {
    static QString folder;
    return folder;
}

// Logs copied from a FAT card keep upper-case names (0101.LOG), so the ending is matched in
// any case.
bool HasLogEnding(std::string_view name) {
    constexpr std::string_view kEnding = ".log";
    if (name.size() < kEnding.size())
        return false;
    name.remove_prefix(name.size() - kEnding.size());
    return std::equal(name.begin(), name.end(), kEnding.begin(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? char(a - 'A' + 'a') : a) == b;
    });
}

// Full paths of the regular files directly in `folder` with a log ending, sorted by the bytes
// of their UTF-8 names. The name is checked before the file type, so a large folder of other
// files costs one directory read and no stat per entry. Problems are logged; what could be
// listed is still returned.
std::vector<std::string> LogFilesIn(const std::string& folder) {
    namespace fs = std::filesystem;
    std::vector<std::string> logs;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        if (!HasLogEnding(it->path().filename().native()))
            continue;
        std::error_code typeEc;
        if (it->is_regular_file(typeEc))
            logs.push_back(it->path().native());
        else if (typeEc)
            qWarning("KML converter: cannot inspect %s: %s", it->path().c_str(),
                     typeEc.message().c_str());
    }
    if (ec)
        qWarning("KML converter: cannot list %s: %s", folder.c_str(), ec.message().c_str());
    std::sort(logs.begin(), logs.end());
    return logs;
}

// Local files with a log ending among dropped URLs; folders and anything else are left out.
QStringList DroppedLogs(const QMimeData* mime) {
    QStringList logs;
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        if (HasLogEnding(ToPath(path)) && QFileInfo(path).isFile())
            logs << path;
    }
    return logs;
}

// The wait cursor for one scope, restored on every way out of it.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

CDlgKMLConv::CDlgKMLConv(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("kmlConverterDialog"));
    // A caption bar without system menu, hence without a close box: Cancel or Esc close it.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral("KML Converter"));
    setModal(true);
    setFixedSize(DialogUnitsToPixels(0, 0, 341, 273).size());

    QFont dialogFont(QStringList{QStringLiteral("WenQuanYi Micro Hei"),
                                 QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    dialogFont.setPointSize(9);
    setFont(dialogFont);

    BuildControls();
}

void CDlgKMLConv::BuildControls() {
    struct Button {
        int id;
        const char* text;
        DialogUnitRect rect;
        void (CDlgKMLConv::*handler)();
    };
    const Button buttons[] = {
        {kIdAddFile, "+", {3, 6, 15, 14}, &CDlgKMLConv::OnAddFile},
        {kIdAddFolder, "+...", {19, 6, 15, 14}, &CDlgKMLConv::OnAddFolder},
        {kIdRemoveOne, "-", {40, 6, 15, 14}, &CDlgKMLConv::OnRemoveFirstSelected},
        {kIdRemoveAll, "-...", {56, 6, 15, 14}, &CDlgKMLConv::OnRemoveAll},
        {kIdChooseOutputFolder, "...", {279, 225, 27, 14}, &CDlgKMLConv::OnChooseOutputFolder},
        {kIdConvert, "Convert to KML", {103, 250, 85, 16}, &CDlgKMLConv::OnConvert},
        {kIdCancel, "Cancel", {196, 250, 50, 16}, &QDialog::reject},
    };

    m_list = PlaceInDialogUnits(new QTableWidget(0, 3, this), kIdList, {3, 23, 333, 185});
    const struct {
        const char* title;
        int width;
        Qt::Alignment alignment;
    } columns[] = {{"File name", 250, Qt::AlignCenter},
                   {"Status", 50, Qt::AlignLeft | Qt::AlignVCenter},
                   {"Output", 250, Qt::AlignLeft | Qt::AlignVCenter}};
    for (int c = 0; c < 3; ++c) {
        auto* header = new QTableWidgetItem(QString::fromUtf8(columns[c].title));
        header->setTextAlignment(columns[c].alignment);
        m_list->setHorizontalHeaderItem(c, header);
        m_list->setColumnWidth(c, columns[c].width);
    }
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 4);
    m_list->setShowGrid(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setWordWrap(false);
    m_list->setTextElideMode(Qt::ElideLeft); // the file name is the telling part of a path
    m_list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Drops and double-clicks land on the viewport; eventFilter takes them there.
    m_list->viewport()->setAcceptDrops(true);
    m_list->viewport()->installEventFilter(this);

    PlaceInDialogUnits(new QLabel(QStringLiteral("Output directory:"), this), kIdOutputLabel,
                       {6, 214, 205, 8});
    m_outputFolder = PlaceInDialogUnits(new QLineEdit(this), kIdOutputFolder, {25, 226, 252, 14});
    m_outputFolder->setEnabled(false); // only the program writes the folder in

    for (const Button& b : buttons) {
        auto* button =
            PlaceInDialogUnits(new QPushButton(QString::fromUtf8(b.text), this), b.id, b.rect);
        // Enter must not start a conversion or close the dialog by accident.
        button->setAutoDefault(false);
        button->setDefault(false);
        connect(button, &QPushButton::clicked, this, b.handler);
    }
}

void CDlgKMLConv::AppendRow(const QString& logPath) {
    const int row = m_list->rowCount();
    m_list->insertRow(row);
    auto* file = new QTableWidgetItem(logPath);
    file->setTextAlignment(Qt::AlignCenter);
    m_list->setItem(row, kColFile, file);
    for (const int column : {kColStatus, kColOutput}) {
        auto* item = new QTableWidgetItem;
        item->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        m_list->setItem(row, column, item);
    }
}

void CDlgKMLConv::AddLogFile(const QString& logPath) {
    AppendRow(logPath);
    m_outputFolder->setText(QFileInfo(logPath).absolutePath());
}

QString CDlgKMLConv::ChooseFolder() {
    const QString current = m_outputFolder->text();
    QFileDialog dialog(this, QStringLiteral("Select directory"),
                       !current.isEmpty() && QFileInfo(current).isDir() ? current
                                                                        : QDir::homePath());
    dialog.setObjectName(QStringLiteral("selectDirectoryDialog"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

void CDlgKMLConv::OnAddFile() {
    QString& startFolder = LastLogFolder();
    QFileDialog dialog(this, QStringLiteral("Open GPS log file..."),
                       startFolder.isEmpty() ? QDir::homePath() : startFolder,
                       QStringLiteral("GPS LOG Files(*.log)"));
    dialog.setObjectName(QStringLiteral("openLogDialog"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    const int result = dialog.exec();
    startFolder = dialog.directory().absolutePath();
    if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    // A path typed in full names a folder the dialog never showed: the next run starts there.
    const QString chosen = dialog.selectedFiles().first();
    startFolder = QFileInfo(chosen).absolutePath();
    AddLogFile(chosen);
}

void CDlgKMLConv::OnAddFolder() {
    const QString folder = ChooseFolder();
    if (folder.isEmpty())
        return;
    for (const std::string& log : LogFilesIn(ToPath(folder)))
        AppendRow(FromPath(log));
    if (m_outputFolder->text().isEmpty())
        m_outputFolder->setText(folder);
}

void CDlgKMLConv::OnRemoveFirstSelected() {
    const QModelIndexList selected = m_list->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return;
    const auto lowest = std::min_element(
        selected.begin(), selected.end(),
        [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    m_list->removeRow(lowest->row());
}

void CDlgKMLConv::OnRemoveAll() {
    m_list->setRowCount(0);
}

void CDlgKMLConv::OnChooseOutputFolder() {
    const QString folder = ChooseFolder();
    if (!folder.isEmpty())
        m_outputFolder->setText(folder);
}

void CDlgKMLConv::OnConvert() {
    if (m_list->rowCount() == 0)
        return;
    if (m_outputFolder->text().isEmpty()) {
        QMessageBox box(QMessageBox::Warning, windowTitle(),
                        QStringLiteral("Please select output directory!"), QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("selectOutputBox"));
        box.exec();
        return;
    }

    const WaitCursor wait;
    const std::string outputFolder = ToPath(m_outputFolder->text());
    QElapsedTimer sincePaint;
    sincePaint.start();
    for (int row = 0; row < m_list->rowCount(); ++row) {
        const std::string log = ToPath(m_list->item(row, kColFile)->text());
        std::string kmlPath;
        const int result = ConvertLogToKml(log, kDescription, outputFolder, kmlPath);
        if (result != 0)
            qWarning("KML converter: %s failed with %d", log.c_str(), result);
        m_list->item(row, kColStatus)
            ->setText(result == 0 ? QStringLiteral("OK") : QStringLiteral("Failed!"));
        m_list->item(row, kColOutput)->setText(result == 0 ? FromPath(kmlPath) : QString());
        // No event processing here (a click could change the list under the run); the list is
        // painted directly, a few times a second, so that a long run visibly progresses
        // without the painting costing more than the conversions.
        m_list->scrollToItem(m_list->item(row, kColFile));
        if (sincePaint.elapsed() >= kProgressPaintMs) {
            m_list->viewport()->repaint();
            sincePaint.restart();
        }
    }
}

void CDlgKMLConv::OnOpenOutput() {
    const int row = m_list->currentRow();
    if (row < 0 || m_list->item(row, kColStatus)->text() != QStringLiteral("OK"))
        return;
    const QString output = m_list->item(row, kColOutput)->text();
    if (output.isEmpty())
        return;
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(output)))
        qWarning("KML converter: cannot open %s", qUtf8Printable(output));
}

bool CDlgKMLConv::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_list->viewport())
        return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter: {
        auto* enter = static_cast<QDragEnterEvent*>(event);
        if (DroppedLogs(enter->mimeData()).isEmpty())
            enter->ignore();
        else
            enter->acceptProposedAction();
        return true;
    }
    case QEvent::DragMove: // only after an accepted DragEnter
        static_cast<QDragMoveEvent*>(event)->acceptProposedAction();
        return true;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        for (const QString& log : DroppedLogs(drop->mimeData()))
            AddLogFile(log);
        drop->acceptProposedAction();
        return true;
    }
    case QEvent::MouseButtonDblClick:
        // The press before it has made the row under the mouse current; the view still gets
        // the event.
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            OnOpenOutput();
        return false;
    default:
        return QDialog::eventFilter(watched, event);
    }
}

} // namespace quello
