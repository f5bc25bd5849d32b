#pragma once

// The window test's fixture: the assembled window with the real engine, an empty card and a
// scratch folder for movies and telemetry, and the helpers that drive it as a user does.
#include "app/CPlayerDlg.h"
#include "playback/CVideoHost.h"
#include "res/skin/WindowLayout.h"
#include "skin/CDashPanel.h"
#include "skin/CSkinSlider.h"
#include "tests/support/SetupCfg.h"
#include "views/CMyWaveForm.h"

#include <QtTest>
#include <QtWidgets>
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include <fcntl.h>
#include <unistd.h>

namespace quello::test {

using enum MediaState;
using Act = std::function<void()>;

// The machine may be busy: the limit only guards against a hang.
inline bool WaitFor(const std::function<bool()>& pred, int limitMs = 20000) {
    return QTest::qWaitFor(pred, limitMs);
}

// Runs `action` on the next menu or modal dialog of type T while the returned handler lives.
template <class T> std::unique_ptr<QTimer> OnNext(std::function<void(T*)> action) {
    auto poll = std::make_unique<QTimer>();
    QObject::connect(poll.get(), &QTimer::timeout, [timer = poll.get(), action] {
        QWidget* top = QApplication::activePopupWidget();
        if (auto* widget = qobject_cast<T*>(top ? top : QApplication::activeModalWidget())) {
            timer->stop();
            action(widget);
        }
    });
    poll->start(20);
    return poll;
}

inline std::unique_ptr<QTimer> OnNextMenuChoose(const QString& text) {
    return OnNext<QMenu>([text](QMenu* menu) {
        for (QAction* a : menu->actions())
            if (a->text() == text)
                menu->setActiveAction(a);
        QTest::keyClick(menu, Qt::Key_Return);
    });
}

// Accepts the next message box, keeping its texts in `message`.
inline std::unique_ptr<QTimer> OnNextMessage(QString& message) {
    return OnNext<QMessageBox>([&message](QMessageBox* b) {
        message = (b->text() + " " + b->informativeText()).trimmed();
        b->accept();
    });
}

inline QStringList Column(const CPlayerDlg& window, int column = 1) {
    auto* list = qobject_cast<QTableWidget*>(window.control(kIdLibrary));
    QStringList rows;
    for (int r = 0; r < list->rowCount(); ++r)
        rows << list->item(r, column)->text();
    return rows;
}

// Three seconds of telemetry whose fix i belongs to second i: the GPS line comes before the
// ten G-sensor lines of its second. Fix 1 carries coordinates too short to show.
inline const QByteArray kTelemetry =
    "[G]\t2010/01/02\t03:04:05\tN24.123456\tE121.654321\t11\t90\n" +
    QByteArray("[S]\t100\t-200\t1000\n").repeated(10) +
    "[G]\t2010/01/02\t03:04:06\tN1.5\tE2.5\t22\t45\n" + QByteArray("[S]\t1\t2\t3\n").repeated(20);

// Copies a test movie with its header's creation time set (QuickTime seconds since 1904), so
// that recordings can follow one another as a camera writes them.
inline QByteArray Dated(const QByteArray& movie, quint32 created1904) {
    QByteArray bytes = movie;
    const qsizetype mvhd = bytes.indexOf("mvhd");
    if (mvhd >= 0)
        for (int i = 0; i < 4; ++i)
            bytes[mvhd + 8 + i] = char(created1904 >> (24 - 8 * i));
    return bytes;
}

class PlayerWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QFile::exists(Media("clip.mov"))) << "the test_media fixture has not run";
        QDir().mkpath(dir.filePath("emptycard"));
        // Each test keeps what its windows remember (layouts, folders) to itself: the tests run
        // side by side and would otherwise share one settings file.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
        window = std::make_unique<CPlayerDlg>();
        window->engine().SetAudioOutput(QStringLiteral("null"));
        window->SetCardRoot(dir.filePath("emptycard"));
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(WaitFor([&] { return window->cardScanned(); }));
    }
    static QString Media(const char* name) { return QUELLO_TEST_MEDIA_DIR "/" + QString(name); }
    QString Movie(const QString& name, const char* source = "silent.mov") {
        QFile media(Media(source));
        EXPECT_TRUE(media.open(QIODevice::ReadOnly));
        return Write(name, media.readAll());
    }
    QString Write(const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        QDir().mkpath(QFileInfo(f).absolutePath());
        EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        return f.fileName();
    }
    // A movie with the three seconds of telemetry beside it.
    QString Recording(const QString& name) {
        Write(name + ".DAT", kTelemetry);
        return Movie(name + ".MOV", "clip.mov");
    }
    template <class T = QWidget> T* Control(int id) {
        return qobject_cast<T*>(window->control(id));
    }
    QTableWidget* List() { return Control<QTableWidget>(kIdLibrary); }
    CMyWaveForm* Waveform() { return Control<CMyWaveForm>(kIdWaveform); }
    QStringList Rows() { return Column(*window); }
    MediaState State() { return window->engine().GetState(); }
    double Position() { return window->engine().GetPositionSeconds(); }
    // A button's command runs from the event loop once the click is over.
    void Click(int id) {
        QTest::mouseClick(Control(id), Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    }
    void Trigger(int id) {
        Control<QAbstractButton>(id)->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    }
    QPoint RowPoint(int row) { return List()->visualRect(List()->model()->index(row, 1)).center(); }
    void ClickRow(int row) {
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, RowPoint(row));
    }
    // As the window system reports it: a click, then the press that makes it a double-click.
    void DoubleClickRow(int row) {
        ClickRow(row);
        QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, RowPoint(row));
        QTest::mouseRelease(List()->viewport(), Qt::LeftButton, {}, RowPoint(row));
    }
    // Drops local files, or the items given as URLs; returns the rows afterwards.
    QStringList Drop(const QStringList& items) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& item : items)
            urls << (item.startsWith("https:") ? QUrl(item) : QUrl::fromLocalFile(item));
        mime.setUrls(urls);
        QDragEnterEvent enter({500, 400}, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop({500, 400}, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &drop);
        return Rows();
    }
    void AddMovies(const QStringList& paths) { ASSERT_EQ(Drop(paths), paths); }
    // Answers the folder dialog with `folder` (empty: cancels); returns where the dialog
    // started, then the rows.
    QStringList AddFolder(const QString& folder) {
        QString startedIn;
        auto answer = OnNext<QFileDialog>([&](QFileDialog* d) {
            startedIn = d->directory().absolutePath();
            d->setDirectory(folder);
            folder.isEmpty() ? d->reject() : static_cast<QDialog*>(d)->accept();
        });
        Click(kIdAddFolder);
        return QStringList{startedIn} + Rows();
    }
    void ClickWaveformAt(int sample) {
        const double step = double(Waveform()->width() - 20) / (Waveform()->sampleCount() - 1);
        QTest::mouseClick(Waveform(), Qt::LeftButton, {},
                          QPoint(20 + int(std::ceil(sample * step)), Waveform()->height() / 2));
    }

    QTemporaryDir dir;
    std::unique_ptr<CPlayerDlg> window;
};

} // namespace quello::test
