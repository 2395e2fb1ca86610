// What the drive helper gives up before it reads its first request, so that a fault in its
// request handling cannot become arbitrary code as root: its output, the right to gain
// privileges, every capability but the one its ATA commands need, every file but the listed
// disks and the sysfs it reads, and every system call it does not make.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orm::helper {

// Measured on SATA (AHCI) and IDE (PIIX) disks: opening the root-owned 0660 disk nodes needs
// no capability for uid 0, the owner; SG_IO with ATA PASS-THROUGH(16) needs CAP_SYS_RAWIO
// (EPERM without it), and every command the helper sends works with it alone.
inline constexpr int kCapSysRawio = 17;
inline constexpr std::uint64_t kKeptCapabilities = std::uint64_t{1} << kCapSysRawio;

// The Landlock ABI of the running kernel, 0 without Landlock.
int LandlockAbi();

// Points standard output and error at /dev/null, keeps only kKeptCapabilities (of those the
// process has), sets no-new-privileges, restricts files to diskNodes (reading and writing; the
// device ioctls too where Landlock handles them, ABI 5) and to reading /sys/block,
// /sys/dev/block and /sys/devices (where the kernel has Landlock), and installs the system call
// allow-list. A call outside the list fails with ENOSYS instead of ending the helper: the C
// library treats ENOSYS as "this kernel lacks the call" and falls back to an older call that
// the list has, so a newer library does not end the helper in the middle of a wipe, and the
// refused call still never runs. Returns 0, or the errno of the step that failed (the helper
// must then not serve).
int Confine(const std::vector<std::string>& diskNodes);

// The device nodes of the drives the drive list shows now, the helper's diskNodes.
std::vector<std::string> ListedDiskNodes();

// A second Landlock layer (layers only narrow): from now on the only file the process can open
// is the node of the drive open on fd. 0 where the kernel has no Landlock, else 0 or the errno.
int NarrowFilesTo(int fd);

}  // namespace orm::helper
