// The KML converter dialog through its buttons, file and folder dialogs, drops and double-click.
#include "outputs/CDlgKMLConv.h"
#include "tests/support/TempDir.h"

#include <QtTest>
#include <QtWidgets>
#include <gtest/gtest.h>

#include <tuple>

namespace {

using quello::CDlgKMLConv;

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void open(const QUrl& url) { urls << url; }
    QList<QUrl> urls;
};

class KmlConverterDialog : public ::testing::Test {
protected:
    KmlConverterDialog() {
        dlg.show();
        // Answers each file or folder dialog with `answer` (empty: cancels it), noting where
        // it started, and each message box with OK, noting its text.
        QObject::connect(&poll, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                shown << box->text();
                box->accept();
            } else if (auto* f = qobject_cast<QFileDialog*>(modal)) {
                startedIn = f->directory().absolutePath();
                Answer(f);
            }
        });
        poll.start(10);
    }
    // The dialog's folder model fills in the background and may select a row at any moment;
    // a selected row outranks the typed name, and a selected folder makes the dialog open it
    // instead of accepting. So the selection is cleared, the name typed and the dialog accepted
    // with no event in between, and a dialog that still refuses fails the test, never hangs it.
    void Answer(QFileDialog* f) {
        if (answer.isEmpty()) {
            f->reject();
            return;
        }
        if (f->fileMode() == QFileDialog::Directory)
            f->setDirectory(answer);
        f->findChild<QListView*>(QStringLiteral("listView"))->clearSelection();
        f->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
            ->setText(f->fileMode() == QFileDialog::Directory ? QString() : answer);
        static_cast<QDialog*>(f)->accept(); // public there, virtual: the file dialog's own
        if (f->isVisible()) {
            ADD_FAILURE() << "the file dialog did not take " << answer.toStdString();
            f->reject();
        }
    }
    QString Path(const char* name) { return QString::fromStdString(dir.file(name)); }
    QString Write(const char* name) {
        return QString::fromStdString(dir.write(name, "081502\tN22.5432\tE114.0578\t35\r\n"));
    }
    void Click(int id, const QString& answerWith = {}, CDlgKMLConv* d = nullptr) {
        answer = answerWith;
        (d ? d : &dlg)->findChild<QPushButton*>(QStringLiteral("ctl%1").arg(id))->click();
    }
    QStringList Column(int c) {
        QStringList texts;
        for (int r = 0; r < list->rowCount(); ++r)
            texts << list->item(r, c)->text();
        return texts;
    }

    quello::test::TempDir dir;
    CDlgKMLConv dlg;
    QTableWidget* list = dlg.findChild<QTableWidget*>(QStringLiteral("ctl1021"));
    QLineEdit* output = dlg.findChild<QLineEdit*>(QStringLiteral("ctl1046"));
    QTimer poll;
    QString answer, startedIn;
    QStringList shown;
};

TEST_F(KmlConverterDialog, PlusAddsRowsConvertWritesEachKmlAndDoubleClickOpensIt) {
    const QString log = Write("logs/0101.LOG"), logs = Path("logs"), kml = Path("logs/0101.kml");
    Click(1048); // Convert on an empty list does nothing, even without an output folder
    output->setText(Path(""));
    Click(1022, log);
    EXPECT_EQ(startedIn, QDir::homePath()); // the first "+" of this process
    EXPECT_EQ(output->text(), logs);        // replaced by the log's folder
    Click(1022);                            // cancelled: nothing changes
    CDlgKMLConv other;                      // the start folder is shared by all instances
    Click(1022, {}, &other);
    EXPECT_EQ(startedIn, logs);
    dlg.AddLogFile(log); // twice: two rows, one document
    output->clear();
    Click(1048); // refused with the one message box of this test
    dlg.AddLogFile(Path("logs/gone.log"));
    ASSERT_EQ(Column(0), QStringList({log, log, Path("logs/gone.log")}));
    EXPECT_EQ(Column(1), QStringList({"", "", ""}));
    UrlCatcher opened;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");
    const auto doubleClick = [&](int row) {
        const QRect cell = list->visualItemRect(list->item(row, 0));
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    };
    doubleClick(0); // not converted yet
    Click(1048);
    EXPECT_EQ(Column(1), QStringList({"OK", "OK", "Failed!"}));
    EXPECT_EQ(Column(2), QStringList({kml, kml, ""}));
    doubleClick(2); // failed
    doubleClick(1);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    EXPECT_EQ(opened.urls, QList<QUrl>{QUrl::fromLocalFile(kml)});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(dir.entries(logs.toStdString()), (std::set<std::string>{"0101.LOG", "0101.kml"}));
    EXPECT_EQ(shown, QStringList{"Please select output directory!"});
}

TEST_F(KmlConverterDialog, FolderButtonsAndDropsAddLogsAndMinusButtonsRemoveRows) {
    for (const char* name : {"f/b.log", "f/0101.LOG", "f/a.log", "f/sub/c.log", "g/E.LOG"})
        Write(name);
    dir.write("f/x.txt", "x");
    dir.makeDir("f/d.log");
    const QString f = Path("f"), g = Path("g");
    QStringList rows{f + "/0101.LOG", f + "/a.log", f + "/b.log", g + "/E.LOG"};
    // "+..." fills an empty output folder but keeps one already set, "..." replaces it.
    const std::tuple<int, QString, int, QString> steps[] = {
        {1023, f, 3, f}, {1023, g, 4, f}, {1047, g, 4, g}};
    for (const auto& [button, folder, count, outputThen] : steps) {
        Click(button, folder);
        EXPECT_EQ(Column(0), rows.first(count));
        EXPECT_EQ(output->text(), outputThen);
    }
    // A drop takes local log files only, and the last one's folder as the output folder.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(rows[3]), QUrl::fromLocalFile(f + "/x.txt"),
                  QUrl("https://example.org/c.log"), QUrl::fromLocalFile(rows[1])});
    QDragEnterEvent enter({5, 5}, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop({5, 5}, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &drop);
    EXPECT_EQ(Column(0), (rows << rows[3] << rows[1]));
    EXPECT_EQ(output->text(), f);
    Click(1042); // nothing selected
    for (int row : {3, 1})
        list->setRangeSelected(QTableWidgetSelectionRange(row, 0, row, 2), true);
    Click(1042); // the first selected row goes
    rows.removeAt(1);
    EXPECT_EQ(Column(0), rows);
    Click(1043);
    EXPECT_EQ(list->rowCount(), 0);
}

} // namespace

#include "CDlgKMLConvTest.moc"
