// Opening a whole disk, written once: the drive helper (as root, for a user's program) and the
// program run as root both open drives here, so both make the same checks.
#pragma once

#include <sys/types.h>

#include <string>

namespace orm::helper {

// Where device nodes and sysfs are; tests point them at trees of their own.
struct DevicePlaces {
    std::string devDir = "/dev";
    std::string sysRoot = "/sys";
};

enum class DiskOpenMode {
    Probe,  // read-only, without waiting for a medium, shared with others
    Wipe,   // read-write and exclusive (O_EXCL: refused while mounted or held), bypassing the
            // page cache where the device takes direct I/O
};

// Opens the whole disk with this kernel name ("sda"; "cciss!c0d0" is /dev/cciss/c0d0) and
// checks that the descriptor is that disk. The node is first looked at without opening any
// driver (O_PATH, no symlink followed) and must be a block device whose number is the one
// sysfs gives for the name, of a disk and not a partition; the real open then goes through
// that very node (/proc/self/fd), so nothing can be swapped between the look and the open, and
// the opened descriptor is checked once more. 0 and *fd (close-on-exec), or the errno: ENOTBLK
// for a node that is not the disk, ENODEV for a name sysfs does not know as a disk, EBUSY for a
// disk in use (wipe).
int OpenWholeDisk(const DevicePlaces& places, const std::string& name, DiskOpenMode mode, int* fd);

// The kernel name of the block device with this number ("sda" for 8:0, "sda1" for 8:1), from
// sysfs's dev/block links; empty when sysfs does not know it.
std::string KernelNameOf(const std::string& sysRoot, dev_t device);

}  // namespace orm::helper
