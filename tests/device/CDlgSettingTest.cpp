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

#include <filesystem>
#include <tuple>

namespace quello {
namespace {

namespace fs = std::filesystem;

// A record with a valid trailer other than the one the player writes.
const std::string kOriginal =
    test::SetupCfg({.resolutionCode = 3, .timeZone = 12, .sensitivity = {10, 11, 1}, .trailer = 7});

class SettingDialog : public ::testing::Test {
protected:
    void SetUp() override {
        // Answers every message box with OK.
        QObject::connect(&poll, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                boxes << box->text();
                box->button(QMessageBox::Ok)->click();
            }
        });
        poll.start(10);
    }
    template <class T> T* W(int id) { return qobject_cast<T*>(dialog.control(id)); }
    void Save() { qobject_cast<QPushButton*>(dialog.control(1030))->click(); }

    test::TempDir dir;
    CDlgSetting dialog;
    QStringList boxes;
    QTimer poll;
};

// A code without a row selects none, a sensitivity above the scale shows as its top. Save
// writes the choice and then leaves the unchanged card alone, even a read-only one; a failed
// save keeps the card as it was, and the same Save writes once the card takes writes again.
TEST_F(SettingDialog, ShowsTheStoredChoiceAndSavesOnlyChanges) {
    const std::string file = dir.write("card/setup.cfg", kOriginal);
    ASSERT_TRUE(dialog.FindDevice(QString::fromStdString(dir.file("card")), {}));
    EXPECT_EQ(W<QComboBox>(1026)->currentIndex(), -1);
    EXPECT_EQ(W<QComboBox>(1042)->currentText(), "+12");
    const int shown[] = {10, 10, 1};
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_EQ(W<QSlider>(1031 + axis)->value(), shown[axis]);
        EXPECT_EQ(W<QLabel>(1034 + axis)->text(), QString::number(shown[axis]));
        W<QSlider>(1031 + axis)->setValue(axis + 1);
    }
    W<QComboBox>(1026)->setCurrentIndex(2); // code 8
    W<QComboBox>(1042)->setCurrentIndex(3); // -9 hours
    Save();
    std::string expected = kOriginal;
    expected.replace(6, 5, "\x91\xF7\x01\x02\x03");
    expected.replace(124, 4, "\x50\x0E\x05\x53");
    EXPECT_EQ(test::TempDir::read(file), expected);
    fs::permissions(file, fs::perms::all, fs::perm_options::remove);
    Save();
    W<QSlider>(1031)->setValue(9);
    Save();
    EXPECT_EQ(test::TempDir::read(file), expected);
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    Save();
    EXPECT_EQ(test::TempDir::read(file).at(8), 9);
    EXPECT_EQ(boxes, QStringList({"Success!", "Success!", "Save data failed!", "Success!"}));
}

TEST_F(SettingDialog, FindsTheStartFolderFirstThenTheLastRemovableDrive) {
    dir.write("bad/setup.cfg", "not a record");
    for (const std::string name : {"m1", "m2", "good"})
        dir.write(name + "/setup.cfg", kOriginal);
    // A car's drive has no settings to edit, whether named as the card or mounted.
    dir.makeDir("tesla/TeslaCam/SentryClips");
    const std::vector<DriveRoot> both{{dir.file("m1/"), true}, {dir.file("m2/"), true}};
    const std::tuple<const char*, std::vector<DriveRoot>, const char*> cases[] = {
        {"good", both, "good/"},
        {"bad", both, "m2/"},
        {"bad", {}, nullptr},
        {"tesla", {{dir.file("tesla/"), true}}, nullptr}};
    for (const auto& [card, mounts, found] : cases) {
        CDlgSetting searching;
        boxes.clear();
        EXPECT_EQ(searching.FindDevice(QString::fromStdString(dir.file(card)), mounts), !!found);
        EXPECT_EQ(searching.deviceRoot(), found ? dir.file(found) : "");
        EXPECT_EQ(boxes, found ? QStringList() : QStringList({"Can't find device!"}));
    }
    // Run shows nothing without a card (a test machine mounts no camera card).
    EXPECT_EQ(CDlgSetting().Run(QString::fromStdString(dir.file("bad"))), -1);
}

} // namespace
} // namespace quello
