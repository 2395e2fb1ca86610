#include "helper/whole_disk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>

#include "helper/sysfs_attr.h"

namespace orm::helper {

namespace {

// The device number sysfs gives for a disk ("8:0"); nullopt for a partition or an unknown name.
std::optional<dev_t> SysfsDiskNumber(const std::string& sysRoot, const std::string& name) {
    const std::string dir = sysRoot + "/block/" + name;
    if (ReadAttr(dir + "/partition")) return std::nullopt;
    const std::optional<std::string> text = ReadAttr(dir + "/dev");
    if (!text) return std::nullopt;
    unsigned maj = 0, mnr = 0;
    char extra = 0;
    if (std::sscanf(text->c_str(), "%u:%u%c", &maj, &mnr, &extra) != 2) return std::nullopt;
    return makedev(maj, mnr);
}

bool IsNode(int fd, dev_t expected) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISBLK(st.st_mode) && st.st_rdev == expected;
}

}  // namespace

int OpenWholeDisk(const DevicePlaces& places, const std::string& name, DiskOpenMode mode, int* fd) {
    *fd = -1;
    // The name comes from sysfs or from the helper's checked request; it never climbs out of the
    // device folder.
    if (name.empty() || name.find('/') != std::string::npos || name.find("..") != std::string::npos) {
        return EINVAL;
    }
    const std::optional<dev_t> dev = SysfsDiskNumber(places.sysRoot, name);
    if (!dev) return ENODEV;
    std::string path = places.devDir + "/" + name;
    std::replace(path.begin() + static_cast<std::ptrdiff_t>(places.devDir.size()), path.end(), '!', '/');
    const int node = ::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (node < 0) return errno;
    if (!IsNode(node, *dev)) {
        ::close(node);
        return ENOTBLK;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(node);
    int opened = -1;
    if (mode == DiskOpenMode::Wipe) {
        opened = ::open(self.c_str(), O_RDWR | O_EXCL | O_DIRECT | O_CLOEXEC | O_NOCTTY);
        // Some block drivers take no direct I/O; ordinary writes plus the final flush remain.
        if (opened < 0 && errno == EINVAL)
            opened = ::open(self.c_str(), O_RDWR | O_EXCL | O_CLOEXEC | O_NOCTTY);
    } else {
        opened = ::open(self.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    }
    const int openErr = errno;
    ::close(node);
    if (opened < 0) return openErr;
    if (!IsNode(opened, *dev)) {
        ::close(opened);
        return ENOTBLK;
    }
    *fd = opened;
    return 0;
}

std::string KernelNameOf(const std::string& sysRoot, dev_t device) {
    const std::string link =
        sysRoot + "/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
    char target[4096];
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0) return {};
    const std::string resolved(target, static_cast<std::size_t>(n));
    return resolved.substr(resolved.find_last_of('/') + 1);
}

}  // namespace orm::helper
