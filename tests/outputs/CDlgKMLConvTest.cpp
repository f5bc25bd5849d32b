// The KML converter dialog end to end: its buttons, file and folder dialogs, drops and
// double-click, on real logs in a temporary folder.
#include "outputs/CDlgKMLConv.h"
#include "tests/support/TempDir.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

namespace {

using quello::CDlgKMLConv;

class UrlCatcher : public QObject {
    Q_OBJECT
public slots:
    void open(const QUrl& url) { urls << url; }

public:
    QList<QUrl> urls;
};

class KmlConverterDialog : public ::testing::Test {
protected:
    KmlConverterDialog() { dlg.show(); }
    QString Path(const char* name) { return QString::fromStdString(dir.file(name)); }
    QString Write(const char* name) {
        return QString::fromStdString(
            dir.write(name, "081502\tN22.543210\tE114.057800\t35.2\t90\t20260516\r\n"));
    }
    // Clicks button `id` of `d`; `act` handles the modal window of type T the click opens.
    template <class T = QWidget>
    void Click(CDlgKMLConv& d, int id, std::function<void(T*)> act = {}) {
        QTimer::singleShot(0, [act] {
            if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget()); w && act)
                act(w);
        });
        d.findChild<QPushButton*>(QStringLiteral("ctl%1").arg(id))->click();
        QApplication::processEvents(); // a click that opened nothing drops the action
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
};

TEST_F(KmlConverterDialog, PlusAddsRowsConvertRewritesEachKmlAndDoubleClickOpensIt) {
    const QString log = Write("logs/0101.LOG"), logs = Path("logs");
    QString startedIn;
    const auto openLog = [&](bool accept, CDlgKMLConv& d) {
        Click<QFileDialog>(d, 1022, [&](QFileDialog* f) {
            startedIn = f->directory().absolutePath();
            accept ? (f->selectFile(log), static_cast<QDialog*>(f)->accept()) : f->reject();
        });
    };
    output->setText(Path(""));
    openLog(true, dlg);
    EXPECT_EQ(startedIn, QDir::homePath()); // the first "+" of this process
    EXPECT_EQ(output->text(), logs);        // replaced by the log's folder
    openLog(false, dlg);                    // cancelled: nothing changes
    CDlgKMLConv other;                      // the start folder is shared by all instances
    openLog(false, other);
    EXPECT_EQ(startedIn, logs);
    dlg.AddLogFile(log); // twice: two rows, one document
    dlg.AddLogFile(Path("logs/gone.log"));
    ASSERT_EQ(Column(0), QStringList({log, log, Path("logs/gone.log")}));
    UrlCatcher opened;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");
    const auto doubleClick = [&](int row) {
        const QRect cell = list->visualItemRect(list->item(row, 0));
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    };
    doubleClick(0); // not converted yet
    const QString kml = Path("logs/0101.kml");
    for (int run = 0; run < 2; ++run) {
        dir.write("logs/0101.kml", "stale");
        Click(dlg, 1048);
        EXPECT_EQ(Column(1), QStringList({"OK", "OK", "Failed!"}));
        EXPECT_EQ(Column(2), QStringList({kml, kml, ""}));
        EXPECT_NE(dir.read(kml.toStdString()).find("114.057800,22.543210,0"), std::string::npos);
    }
    doubleClick(2); // failed
    doubleClick(1);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    EXPECT_EQ(opened.urls, QList<QUrl>{QUrl::fromLocalFile(kml)});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(dir.entries(logs.toStdString()), (std::set<std::string>{"0101.LOG", "0101.kml"}));
}

TEST_F(KmlConverterDialog, FolderButtonsAddLogsInNameOrderAndMinusButtonsRemoveRows) {
    for (const char* name : {"f/b.log", "f/0101.LOG", "f/a.log", "f/sub/c.log", "g/e.log"})
        Write(name);
    dir.write("f/x.txt", "x");
    dir.makeDir("f/d.log");
    const QString f = Path("f"), g = Path("g");
    const QStringList rows{f + "/0101.LOG", f + "/a.log", f + "/b.log", g + "/e.log"};
    // Button, folder picked, rows then, output folder then: "+..." fills an empty output
    // folder but keeps one already set, "..." replaces it.
    const std::tuple<int, QString, int, QString> steps[] = {
        {1023, f, 3, f}, {1023, g, 4, f}, {1047, g, 4, g}};
    for (const auto& [button, folder, count, outputThen] : steps) {
        Click<QFileDialog>(dlg, button, [&](QFileDialog* d) {
            d->setDirectory(folder);
            static_cast<QDialog*>(d)->accept();
        });
        EXPECT_EQ(Column(0), rows.first(count));
        EXPECT_EQ(output->text(), outputThen);
    }
    Click(dlg, 1042); // nothing selected
    for (int row : {3, 1})
        list->setRangeSelected(QTableWidgetSelectionRange(row, 0, row, 2), true);
    Click(dlg, 1042);
    EXPECT_EQ(Column(0), QStringList({rows[0], rows[2], rows[3]}));
    Click(dlg, 1043);
    EXPECT_EQ(list->rowCount(), 0);
}

TEST_F(KmlConverterDialog, DropsAddOnlyLocalLogFilesAndConvertNeedsAnOutputFolder) {
    QStringList shown;
    const auto convert = [&] {
        Click<QMessageBox>(dlg, 1048, [&](QMessageBox* b) {
            shown << b->text();
            b->accept();
        });
    };
    convert(); // empty list and no folder: nothing at all
    EXPECT_TRUE(shown.isEmpty());
    const QString a = Write("d1/a.log"), b = Write("d2/B.LOG");
    dir.write("d1/x.txt", "x");
    dir.makeDir("d1/dir.log");
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(Path("d1/x.txt")),
                  QUrl::fromLocalFile(Path("d1/dir.log")),
                  QUrl(QStringLiteral("https://example.org/c.log")), QUrl::fromLocalFile(b)});
    QDragEnterEvent enter({5, 5}, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop({5, 5}, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &drop);
    EXPECT_EQ(Column(0), QStringList({a, b}));
    EXPECT_EQ(output->text(), Path("d2"));
    output->clear();
    convert();
    EXPECT_EQ(shown, QStringList{"Please select output directory!"});
    EXPECT_EQ(Column(1), QStringList({"", ""}));
}

} // namespace

#include "CDlgKMLConvTest.moc"
