#pragma once

#include "SetupRecord.h"

#include <optional>
#include <string>
#include <vector>

namespace quello {

// One mounted file system as a candidate camera card.
struct DriveRoot {
    std::string root;       // mount point, always ending with '/'
    bool removable = false; // removable disk, USB/MMC bus, or mounted under /media, /run/media
    bool floppy = false;    // a floppy device (/dev/fd*): never taken for the card
};

// The mounted file systems in mount-table order (/proc/self/mounts). Empty when the table
// can't be read.
std::vector<DriveRoot> ListMountedDrives();

// True when `root` holds a TeslaCam folder with at least one of the car's clip folders
// (RecentClips, SavedClips, SentryClips). Such a drive has no settings file.
bool IsTeslaCamDrive(const std::string& root);

// The drive the player opens when no card is named: the camera's card as FindDeviceDrive
// finds it; without one, the last removable, non-floppy drive of `drives` that
// IsTeslaCamDrive. The card wins over a car's drive, so that what opens is also what the
// settings editor edits. The root ends with '/'; empty when no drive qualifies.
std::string FindRecordingDrive(const std::vector<DriveRoot>& drives);

// Examines `<root>setup.cfg` of every removable, non-floppy drive in order; a drive qualifies
// when the file is a regular file of at least 128 bytes whose first 128 bytes hold a valid
// record. The last qualifying drive wins: its root and record are written and true returned.
// Returns false with both outputs untouched when no drive qualifies. A root without a
// trailing '/' is taken as if it had one (and is reported with it); empty roots are skipped.
bool FindDeviceDrive(const std::vector<DriveRoot>& drives, std::string& root, SetupRecord& record);

// The same over ListMountedDrives().
bool FindDeviceDrive(std::string& root, SetupRecord& record);
std::string FindRecordingDrive();

// The card a file lies on: the nearest of its folders, up to `levels` above it
// (ROOT/DCIM/100MEDIA/x.MOV needs 3), whose setup.cfg qualifies as FindDeviceDrive asks.
std::optional<SetupRecord> FindCardAbove(const std::string& path, int levels);

// Replaces `<root>setup.cfg` with the 128 bytes of `record`, atomically: a temporary file in
// the same folder is written, synced and renamed over the old one, so the folder holds either
// the old record or the new one. Returns false, creating nothing and keeping the old file,
// when the file no longer exists, is not a regular file, is read-only (no write permission
// bit) or not writable, or when any step fails. The file keeps its permission bits.
// Plain function; callers serialise writes to the same card.
bool WriteSetupRecord(const std::string& root, const SetupRecord& record);

} // namespace quello
