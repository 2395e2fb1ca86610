// The drives of a Linux machine as the program numbers them: the whole-disk block devices
// under /sys/block that a wipe could sensibly target, in a fixed natural order, numbered from 0.
#pragma once

#include <string>
#include <vector>

namespace orm::helper {

// Natural order of kernel disk names. Names are grouped by family first: hd, sd (ATA and
// SCSI disks), nvme, vd, xvd, mmcblk, loop, then any other name. Within a family, and between
// other names, the names are split into runs of digits and runs of other characters and the
// runs compared in turn: digit runs by value, other runs shorter first and then byte by byte,
// so that sdz comes before sdaa as the kernel names them, and nvme0n2 before nvme0n10. A digit
// run sorts before a text run at the same place.
bool NaturalLess(const std::string& a, const std::string& b);

// Whether /sys/block/<name> (under sysRoot, normally "/sys") is a drive: a whole disk that is
// writable (ro = 0); not a partition, ram or zram disk, device-mapper or md device, not an
// optical drive (sr*, or removable with SCSI device type 5), not a hidden path of a multipath
// NVMe namespace, not a drive without a medium (size 0, a card reader with no card); a loop
// device only while it has a backing file.
bool IsDriveName(const std::string& sysRoot, const std::string& name);

// The device node of a kernel disk name: "/dev/" + name, where a "!" in the name stands for a
// "/" of the node's path (cciss!c0d0 is /dev/cciss/c0d0).
std::string DevicePathOf(const std::string& name);

// The drives under sysRoot in natural order. Reads sysfs afresh on every call; an unreadable
// /sys/block gives an empty list.
std::vector<std::string> ListDriveNames(const std::string& sysRoot);

}  // namespace orm::helper
