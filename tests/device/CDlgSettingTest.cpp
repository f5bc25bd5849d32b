#include "device/CDlgSetting.h"
#include "tests/support/SetupCfg.h"
#include "tests/support/TempDir.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>

namespace quello {
namespace {

namespace fs = std::filesystem;
using Axes = std::array<int, 3>;

// A record with a valid trailer other than the one the player writes.
std::string Crafted(int code, int zone, Axes s) {
    return test::SetupCfg(
        {.resolutionCode = code, .timeZone = zone, .sensitivity = s, .trailer = 0x01020304u});
}

class SettingDialog : public ::testing::Test {
protected:
    void SetUp() override {
        // Answers every message box with OK and cancels the dialog when it is run.
        QObject::connect(&poll, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                boxes << box->text();
                box->button(QMessageBox::Ok)->click();
            } else if (auto* shown = qobject_cast<CDlgSetting*>(modal)) {
                qobject_cast<QPushButton*>(shown->control(1040))->click();
            }
        });
        poll.start(10);
    }
    // A fresh dialog on the card folder `card` with a setup.cfg of `bytes`; its path.
    std::string Open(const std::string& card, const std::string& bytes) {
        const std::string file = dir.write(card + "/setup.cfg", bytes);
        dialog = std::make_unique<CDlgSetting>();
        boxes.clear();
        EXPECT_TRUE(dialog->FindDevice(QString::fromStdString(dir.file(card)), {}));
        return file;
    }
    template <class T> T* W(int id) { return qobject_cast<T*>(dialog->control(id)); }
    void Click(int id) { W<QPushButton>(id)->click(); }

    test::TempDir dir;
    std::unique_ptr<CDlgSetting> dialog;
    QStringList boxes;
    QTimer poll;
};

TEST_F(SettingDialog, ShowsTheStoredChoice) {
    const struct {
        int code, zone, row, zoneIndex;
        const char* zoneText;
        Axes stored, shown;
    } cases[] = {
        {2, -12, 0, 0, "-12", {12, 3, 0}, {10, 3, 0}},
        {3, 12, -1, 24, "+12", {10, 11, 1}, {10, 10, 1}},
        {8, 13, 2, -1, "", {4, 5, 6}, {4, 5, 6}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.zone);
        Open("card", Crafted(c.code, c.zone, c.stored));
        EXPECT_EQ(W<QComboBox>(1026)->currentIndex(), c.row);
        EXPECT_EQ(W<QComboBox>(1042)->currentIndex(), c.zoneIndex);
        EXPECT_EQ(W<QComboBox>(1042)->currentText(), c.zoneText);
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_EQ(W<QSlider>(1031 + axis)->value(), c.shown[axis]);
            EXPECT_EQ(W<QLabel>(1034 + axis)->text(), QString::number(c.shown[axis]));
        }
    }
}

// Save writes the choice, then leaves the unchanged card alone; a failed save keeps the card
// as it was, and the same Save writes once the card takes writes again.
TEST_F(SettingDialog, SaveWritesOnlyChangesAndTriesAgainAfterAFailure) {
    const std::string original = Crafted(2, 0, {4, 5, 6});
    const std::string file = Open("card", original);
    W<QComboBox>(1026)->setCurrentIndex(2); // code 8
    W<QComboBox>(1042)->setCurrentIndex(3); // -9 hours
    for (int axis = 0; axis < 3; ++axis)
        W<QSlider>(1031 + axis)->setValue(axis + 1);
    Click(1030);
    std::string expected = original;
    expected.replace(6, 5, "\x91\xF7\x01\x02\x03");
    expected.replace(124, 4, "\x50\x0E\x05\x53");
    EXPECT_EQ(test::TempDir::read(file), expected);
    fs::last_write_time(file, fs::last_write_time(file) - std::chrono::hours(1));
    const auto written = fs::last_write_time(file);
    Click(1030);
    EXPECT_EQ(fs::last_write_time(file), written);
    EXPECT_EQ(boxes, QStringList({"Success!", "Success!"}));

    for (const std::string card : {"read-only", "removed"}) {
        SCOPED_TRACE(card);
        const std::string file = Open(card, original);
        if (card == "removed")
            fs::remove(file);
        else
            fs::permissions(file, fs::perms::all, fs::perm_options::remove);
        W<QSlider>(1031)->setValue(9);
        Click(1030);
        EXPECT_EQ(test::TempDir::read(file), fs::exists(file) ? original : "");
        EXPECT_EQ(dir.entries(dir.file(card)).size(), fs::exists(file) ? 1u : 0u);
        fs::remove(file);
        dir.write(card + "/setup.cfg", original);
        Click(1030);
        EXPECT_EQ(test::TempDir::read(file).at(8), 9);
        EXPECT_EQ(boxes, QStringList({"Save data failed!", "Success!"}));
    }
}

TEST_F(SettingDialog, FindsTheStartFolderFirstThenTheLastRemovableDrive) {
    const std::string valid = Crafted(2, 0, {0, 0, 0});
    dir.write("card/setup.cfg", "not a record");
    for (const std::string name : {"m1", "m2", "good"})
        dir.write(name + "/setup.cfg", valid);
    const std::vector<DriveRoot> both{{dir.file("m1/"), true}, {dir.file("m2/"), true}};
    const struct {
        const char* card;
        std::vector<DriveRoot> mounts;
        const char* found; // nullptr: no device
    } cases[] = {
        {"good", both, "good/"}, {"card", both, "m2/"}, {"", both, "m2/"}, {"card", {}, nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.card);
        CDlgSetting searching;
        boxes.clear();
        const QString card = *c.card ? QString::fromStdString(dir.file(c.card)) : QString();
        EXPECT_EQ(searching.FindDevice(card, c.mounts), c.found != nullptr);
        EXPECT_EQ(searching.deviceRoot(), c.found ? dir.file(c.found) : "");
        EXPECT_EQ(boxes, c.found ? QStringList() : QStringList({"Can't find device!"}));
    }
    // Run shows the dialog only with a card (a test machine mounts no camera card); Cancel
    // writes nothing.
    boxes.clear();
    EXPECT_EQ(CDlgSetting().Run(QString::fromStdString(dir.file("card"))), -1);
    EXPECT_EQ(boxes, QStringList({"Can't find device!"}));
    EXPECT_EQ(CDlgSetting().Run(QString::fromStdString(dir.file("good"))), QDialog::Rejected);
    EXPECT_EQ(test::TempDir::read(dir.file("good/setup.cfg")), valid);
}

} // namespace
} // namespace quello
