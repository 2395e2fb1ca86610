// What the drive helper gives up before it reads its first request, so that a fault in its
// request handling cannot become arbitrary code as root: its output, the right to gain
// privileges, every capability but the two its ATA commands need, every file outside /dev and
// /sys, and every system call it does not make.
#pragma once

#include <cstdint>

namespace orm::helper {

// Measured on SATA (AHCI) and IDE (PIIX) disks: opening the root-owned 0660 disk nodes needs
// no capability for uid 0, the owner; SG_IO with ATA PASS-THROUGH(16) needs CAP_SYS_RAWIO
// (EPERM without it), and the HDIO_DRIVE_CMD fall-back needs CAP_SYS_RAWIO and CAP_SYS_ADMIN
// (EACCES without either).
inline constexpr int kCapSysRawio = 17;
inline constexpr int kCapSysAdmin = 21;
inline constexpr std::uint64_t kKeptCapabilities =
    (std::uint64_t{1} << kCapSysRawio) | (std::uint64_t{1} << kCapSysAdmin);

// Points standard output and error at /dev/null, keeps only kKeptCapabilities (of those the
// process has), sets no-new-privileges, restricts files to /dev and /sys (where the kernel has
// Landlock) and installs the system call allow-list. A call outside the list fails with ENOSYS
// instead of ending the helper: the C library treats ENOSYS as "this kernel lacks the call" and
// falls back to an older call that the list has, so a newer library does not end the helper in
// the middle of a wipe, and the refused call still never runs. Returns 0, or the errno of the
// step that failed (the helper must then not serve).
int Confine();

}  // namespace orm::helper
