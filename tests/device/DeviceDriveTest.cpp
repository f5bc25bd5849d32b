#include "device/DeviceDrive.h"
#include "device/MountTable.h"
#include "tests/support/SetupCfg.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace quello {
namespace {

std::string RecordBytes(std::uint32_t magic, std::uint32_t trailer, std::size_t size = 128) {
    std::string bytes = test::SetupCfg({.trailer = trailer, .magic = magic});
    bytes.resize(size, 'z');
    return bytes;
}

const std::string kValid = RecordBytes(SetupRecord::kMagic, SetupRecord::kTrailer);

// Every search also meets an empty root first; roots are given without their trailing '/'
// except drive "e"'s.
TEST(FindDeviceDrive, TakesTheLastRemovableDriveWithAValidRecord) {
    struct Drive {
        const char* name;
        std::string setup; // empty: no setup.cfg; "/": a folder of that name
        bool removable = true;
        bool floppy = false;
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
        {"wrong magic", {{"d", RecordBytes(0x5052010F, 1)}}, nullptr},
        {"zero trailer", {{"d", RecordBytes(SetupRecord::kMagic, 0)}}, nullptr},
        {"longer file, other trailer",
         {{"d", kValid}, {"e", RecordBytes(SetupRecord::kMagic, 7, 200)}},
         "e"},
        {"setup.cfg is a folder", {{"d", kValid}, {"f", "/"}}, "d"},
        {"nothing", {}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        std::vector<DriveRoot> drives{{"", true}};
        for (const Drive& d : c.drives) {
            const std::string root = dir.makeDir(d.name) + (*d.name == 'e' ? "/" : "");
            if (d.setup == "/")
                dir.makeDir(std::string(d.name) + "/setup.cfg");
            else if (!d.setup.empty())
                dir.write(std::string(d.name) + "/setup.cfg", d.setup);
            drives.push_back({root, d.removable, d.floppy});
        }
        std::string root = "untouched";
        SetupRecord record;
        record.bytes[0] = 0x42;
        EXPECT_EQ(FindDeviceDrive(drives, root, record), c.winner != nullptr);
        EXPECT_EQ(root, c.winner ? dir.file(c.winner) + "/" : "untouched");
        const std::string bytes(record.bytes.begin(), record.bytes.end());
        EXPECT_EQ(bytes, c.winner ? test::TempDir::read(root + "setup.cfg").substr(0, 128)
                                  : std::string(1, '\x42') + std::string(127, '\0'));
    }
}

// Root ignores a folder's permission bits: drop to an unprivileged user while the guard lives.
class Unprivileged {
public:
    explicit Unprivileged(bool wanted) {
        if (wanted && ::geteuid() == 0)
            m_active = ::setegid(65534) == 0 && ::seteuid(65534) == 0;
    }
    ~Unprivileged() {
        if (m_active && ::seteuid(0) == 0)
            (void)::setegid(0);
    }

private:
    bool m_active = false;
};

TEST(WriteSetupRecord, ReplacesTheFileOrLeavesItAlone) {
    const std::string nextBytes = test::SetupCfg({.timeZone = 11});
    SetupRecord next;
    std::copy(nextBytes.begin(), nextBytes.end(), next.bytes.begin());
    const std::string old = RecordBytes(SetupRecord::kMagic, 9, 300);
    const struct {
        const char* name;
        bool present;
        mode_t fileMode, folderMode;
        bool written;
    } cases[] = {
        {"longer file is replaced by 128 bytes", true, 0640, 0755, true},
        {"permission bits kept", true, 0606, 0755, true},
        {"gone", false, 0644, 0755, false},
        {"read-only file", true, 0444, 0755, false},
        {"read-only folder", true, 0666, 0555, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        ::chmod(dir.path().c_str(), 0755);
        const std::string card = dir.makeDir("card"), file = card + "/setup.cfg";
        if (c.present) {
            dir.write("card/setup.cfg", old);
            ::chmod(file.c_str(), c.fileMode);
        }
        ::chmod(card.c_str(), c.folderMode);
        const auto before = dir.entries(card);
        {
            Unprivileged guard(c.folderMode == 0555);
            EXPECT_EQ(WriteSetupRecord(card + "/", next), c.written);
        }
        EXPECT_EQ(dir.entries(card), before) << "no temporary file is left";
        if (!c.present)
            continue;
        EXPECT_EQ(test::TempDir::read(file), c.written ? nextBytes : old);
        struct stat st {};
        ASSERT_EQ(::stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.fileMode);
    }
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
    const std::string table = "/dev/sdb1 /mnt/usb\\040stick vfat rw 0 0\n"
                              "/dev/sda2 / ext4 rw 0 0\n"
                              "proc /proc proc rw 0 0\n"
                              "/dev/sdc /mnt/reader vfat rw 0 0\n"
                              "/dev/mmcblk0p1 /mnt/sd vfat rw 0 0\n"
                              "/dev/fd0 /mnt/floppy vfat rw 0 0\n"
                              "tmpfs /run/media/me/CARD tmpfs rw 0 0\n"
                              "tmpfs /media tmpfs rw 0 0\n"
                              "garbage\n"
                              "/dev/sda2 /home ext4 rw 0 0";
    std::string got;
    for (const DriveRoot& d : ParseMountTable(table, sys.path()))
        got += d.root + (d.removable ? " R" : " -") + (d.floppy ? "F" : "") + "\n";
    EXPECT_EQ(got, "/mnt/usb stick/ R\n/ -\n/proc/ -\n/mnt/reader/ R\n/mnt/sd/ R\n"
                   "/mnt/floppy/ -F\n/run/media/me/CARD/ R\n/media/ -\n/home/ -\n");
}

} // namespace
} // namespace quello
