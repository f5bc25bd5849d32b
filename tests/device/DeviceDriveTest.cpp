#include "device/DeviceDrive.h"
#include "device/MountTable.h"
#include "tests/support/SetupCfg.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace quello {
namespace {

std::string RecordBytes(std::uint32_t trailer, std::size_t size = 128,
                        std::uint32_t magic = SetupRecord::kMagic) {
    std::string bytes = test::SetupCfg({.trailer = trailer, .magic = magic});
    bytes.resize(size, 'z');
    return bytes;
}

const std::string kValid = RecordBytes(SetupRecord::kTrailer);

// Every search also meets an empty root first; roots are given without their trailing '/'
// except drive "e"'s. What a failed search leaves untouched the fuzz target checks.
TEST(FindDeviceDrive, TakesTheLastRemovableDriveWithAValidRecord) {
    struct Drive {
        const char* name;
        std::string setup; // empty: no setup.cfg; "/": a folder of that name
        bool removable = true, floppy = false;
    };
    const struct {
        const char* name;
        std::vector<Drive> drives;
        const char* winner; // nullptr: no device
    } cases[] = {
        {"later drive wins", {{"d", kValid}, {"e", kValid}, {"f", ""}}, "e"},
        {"fixed disk never examined", {{"d", kValid}, {"e", kValid, false}}, "d"},
        {"floppy never examined", {{"d", kValid}, {"e", kValid, true, true}}, "d"},
        {"127 bytes", {{"d", kValid.substr(0, 127)}}, nullptr},
        {"wrong magic", {{"d", RecordBytes(1, 128, 0x5052010F)}}, nullptr},
        {"zero trailer", {{"d", RecordBytes(0)}}, nullptr},
        {"longer file, other trailer", {{"d", kValid}, {"e", RecordBytes(7, 200)}}, "e"},
        {"setup.cfg is a folder", {{"d", kValid}, {"f", "/"}}, "d"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        std::vector<DriveRoot> drives{{"", true}};
        for (const Drive& d : c.drives) {
            const std::string root = dir.makeDir(d.name), cfg = std::string(d.name) + "/setup.cfg";
            if (d.setup == "/")
                dir.makeDir(cfg);
            else if (!d.setup.empty())
                dir.write(cfg, d.setup);
            drives.push_back({root + (*d.name == 'e' ? "/" : ""), d.removable, d.floppy});
        }
        std::string root;
        SetupRecord record;
        EXPECT_EQ(FindDeviceDrive(drives, root, record), c.winner != nullptr);
        EXPECT_EQ(root, c.winner ? dir.file(c.winner) + "/" : "");
        EXPECT_EQ(std::string(record.bytes.begin(), record.bytes.end()),
                  c.winner ? test::TempDir::read(root + "setup.cfg").substr(0, 128)
                           : std::string(128, '\0'));
    }
}

// Without a camera card, a car's USB drive opens: a removable drive whose TeslaCam folder holds
// one of the car's clip folders, no settings file needed. Each drive: its name, the folders
// made on it ("cfg": a valid setup.cfg), removable, floppy.
TEST(FindRecordingDrive, TakesTheCardElseTheLastTeslaCamDrive) {
    struct Drive {
        const char* name;
        std::vector<const char*> folders;
        bool removable = true, floppy = false;
    };
    const struct {
        const char* name;
        std::vector<Drive> drives;
        const char* winner; // "": none
    } cases[] = {
        {"recent clips", {{"t", {"TeslaCam/RecentClips"}}}, "t"},
        {"sentry clips only", {{"t", {"TeslaCam/SentryClips"}}}, "t"},
        {"saved clips, later drive wins",
         {{"t", {"TeslaCam/RecentClips"}}, {"u", {"TeslaCam/SavedClips"}}},
         "u"},
        {"an empty TeslaCam folder", {{"t", {"TeslaCam"}}}, ""},
        {"clip folders beside, not in, TeslaCam", {{"t", {"RecentClips", "TeslaCam/Music"}}}, ""},
        {"fixed disk", {{"t", {"TeslaCam/RecentClips"}, false}}, ""},
        {"floppy", {{"t", {"TeslaCam/RecentClips"}, true, true}}, ""},
        {"the camera's card wins over a later car drive",
         {{"c", {"cfg"}}, {"t", {"TeslaCam/RecentClips"}}},
         "c"},
        {"a card holding TeslaCam too is the card", {{"c", {"cfg", "TeslaCam/SentryClips"}}}, "c"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        std::vector<DriveRoot> drives{{"", true}};
        for (const Drive& d : c.drives) {
            const std::string root = dir.makeDir(d.name);
            for (const std::string folder : d.folders) {
                if (folder == "cfg")
                    dir.write(std::string(d.name) + "/setup.cfg", kValid);
                else
                    dir.makeDir(std::string(d.name) + "/" + folder);
            }
            drives.push_back({root, d.removable, d.floppy});
        }
        EXPECT_EQ(FindRecordingDrive(drives), *c.winner ? dir.file(c.winner) + "/" : "");
    }
}

// A longer file is replaced by the 128 bytes and keeps its permission bits; a read-only file
// and one gone since the search stay as they are. No temporary file is left.
// A movie's card is the nearest folder above it with a valid record, within the levels asked.
TEST(FindCardAbove, FindsTheCardAMovieLiesOn) {
    test::TempDir dir;
    dir.write("card/setup.cfg", kValid);
    dir.write("card/DCIM/setup.cfg", RecordBytes(0));
    const std::string movie = dir.file("card/DCIM/100MEDIA/x.MOV");
    EXPECT_EQ(FindCardAbove(movie, 3)->sensitivity(2), 7);
    EXPECT_FALSE(FindCardAbove(movie, 2)) << "the invalid record on the way is no card";
    EXPECT_FALSE(FindCardAbove("x.MOV", 3));
}

TEST(WriteSetupRecord, ReplacesTheFileOrLeavesItAlone) {
    namespace fs = std::filesystem;
    using enum fs::perms;
    test::TempDir dir;
    const std::string card = dir.makeDir("card"), file = card + "/setup.cfg";
    dir.write("card/setup.cfg", std::string(300, 'o'));
    fs::permissions(file, owner_read | owner_write | others_write);
    SetupRecord next;
    next.bytes.fill(0x5A);
    EXPECT_TRUE(WriteSetupRecord(card, next));
    EXPECT_EQ(test::TempDir::read(file), std::string(128, 0x5A));
    EXPECT_EQ(fs::status(file).permissions(), owner_read | owner_write | others_write);
    fs::permissions(file, owner_read);
    EXPECT_FALSE(WriteSetupRecord(card + "/", SetupRecord{}));
    EXPECT_EQ(test::TempDir::read(file), std::string(128, 0x5A));
    EXPECT_EQ(dir.entries(card), std::set<std::string>{"setup.cfg"});
    fs::remove(file);
    EXPECT_FALSE(WriteSetupRecord(card, next));
    EXPECT_TRUE(dir.entries(card).empty());
}

TEST(ParseMountTable, TellsRemovableCardsFromFixedDisks) {
    test::TempDir sys;
    // A fake sysfs: class/block links into the device tree, as the kernel lays it out.
    const auto block = [&](const std::string& disk, const std::string& part, const char* bus,
                           const char* removable) {
        const std::string node = "devices/" + std::string(bus) + "/block/" + disk;
        sys.write(node + "/removable", removable);
        if (!part.empty())
            sys.write(node + "/" + part + "/partition", "1");
        sys.makeDir("class/block");
        std::filesystem::create_symlink(sys.file(part.empty() ? node : node + "/" + part),
                                        sys.file("class/block/" + (part.empty() ? disk : part)));
    };
    block("sda", "sda2", "pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0", "0");
    block("sdb", "sdb1", "pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0", "0");
    block("sdc", "", "pci0000:00/0000:00:17.0/ata2/host1/target1:0:0/1:0:0:0", "1");
    block("mmcblk0", "mmcblk0p1", "platform/fe320000.mmc/mmc_host/mmc0/mmc0:0001", "0");
    const std::string table =
        "/dev/sdb1 /mnt/usb\\040stick vfat rw 0 0\n/dev/sda2 / ext4 rw 0 0\n"
        "proc /proc proc rw 0 0\n/dev/sdc /mnt/reader vfat rw 0 0\n"
        "/dev/mmcblk0p1 /mnt/sd vfat rw 0 0\n/dev/fd0 /mnt/floppy vfat rw 0 0\n"
        "tmpfs /run/media/me/CARD tmpfs rw 0 0\ntmpfs /media tmpfs rw 0 0\n"
        "garbage\n/dev/sda2 /home ext4 rw 0 0"; // no line end at the end
    std::string got;
    for (const DriveRoot& d : ParseMountTable(table, sys.path()))
        got += d.root + (d.removable ? " R" : " -") + (d.floppy ? "F" : "") + "\n";
    EXPECT_EQ(got, "/mnt/usb stick/ R\n/ -\n/proc/ -\n/mnt/reader/ R\n/mnt/sd/ R\n"
                   "/mnt/floppy/ -F\n/run/media/me/CARD/ R\n/media/ -\n/home/ -\n");
}

} // namespace
} // namespace quello
