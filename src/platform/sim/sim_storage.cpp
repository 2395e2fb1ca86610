// Simulated drives' bytes: a sparse in-memory store or an image file, and the test's view of them.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/sim/sim_platform.h"
#include "platform/sim/sim_state.h"

namespace orm::sim {

namespace {

// The first byte is zero and every byte equals the one before it.
bool AllZero(const std::uint8_t* p, std::size_t n) {
    return n == 0 || (p[0] == 0 && std::memcmp(p, p + 1, n - 1) == 0);
}

// Walks [offset, offset + length) of the sparse store a page at a time: fn(page, offset in the
// page, bytes already behind, bytes in this page).
template <class Fn>
void ForEachPage(std::int64_t offset, std::size_t length, Fn fn) {
    std::size_t done = 0;
    while (done < length) {
        const std::int64_t pos = offset + static_cast<std::int64_t>(done);
        const std::int64_t inPage = pos % kPageSize;
        const std::size_t n = std::min(length - done, static_cast<std::size_t>(kPageSize - inPage));
        fn(pos / kPageSize, inPage, done, n);
        done += n;
    }
}

}  // namespace

// ---- SimDrive --------------------------------------------------------------------------------

SimDrive::~SimDrive() {
    if (fd >= 0) ::close(fd);
}

bool SimDrive::EnsureImage() {
    if (params.imageFile.empty()) return true;
    if (fd >= 0 && fdPath == params.imageFile) return true;
    if (fd >= 0) ::close(fd);
    fd = ::open(params.imageFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    fdPath = params.imageFile;
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size < params.length) {
        // Grows the image sparsely: the file system allocates nothing for the hole.
        if (::ftruncate(fd, params.length) != 0) return false;
    }
    return true;
}

bool SimDrive::ReadBytes(std::int64_t offset, std::uint8_t* out, std::size_t length) {
    if (!params.imageFile.empty()) {
        if (!EnsureImage()) return false;
        std::size_t done = 0;
        while (done < length) {
            const ssize_t n =
                ::pread(fd, out + done, length - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
            if (n < 0) return false;
            if (n == 0) {
                std::memset(out + done, 0, length - done);
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
    ForEachPage(offset, length, [&](std::int64_t page, std::int64_t inPage, std::size_t done, std::size_t n) {
        auto it = pages.find(page);
        if (it == pages.end()) {
            std::memset(out + done, 0, n);
        } else {
            std::memcpy(out + done, it->second.data() + inPage, n);
        }
    });
    return true;
}

bool SimDrive::WriteBytes(std::int64_t offset, const std::uint8_t* data, std::size_t length) {
    if (!params.imageFile.empty()) {
        if (!EnsureImage()) return false;
        std::size_t done = 0;
        while (done < length) {
            const ssize_t n = ::pwrite(fd, data + done, length - done,
                                       static_cast<off_t>(offset) + static_cast<off_t>(done));
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
    ForEachPage(offset, length, [&](std::int64_t page, std::int64_t inPage, std::size_t done, std::size_t n) {
        const bool zero = AllZero(data + done, n);
        auto it = pages.find(page);
        if (it == pages.end()) {
            if (!zero) {
                auto& bytes = pages[page];
                bytes.assign(static_cast<std::size_t>(kPageSize), 0);
                std::memcpy(bytes.data() + inPage, data + done, n);
            }
        } else if (zero && n == static_cast<std::size_t>(kPageSize)) {
            pages.erase(it);  // a wiped page costs nothing again
        } else {
            std::memcpy(it->second.data() + inPage, data + done, n);
        }
    });
    return true;
}

// ---- SimPlatform: the bytes, for tests ---------------------------------------------------------

std::vector<std::uint8_t> SimPlatform::ReadBack(unsigned number, std::int64_t offset, std::size_t length) {
    std::lock_guard lock(m_impl->mutex);
    std::vector<std::uint8_t> bytes(length, 0);
    m_impl->drives.at(number)->ReadBytes(offset, bytes.data(), length);
    return bytes;
}

void SimPlatform::Poke(unsigned number, std::int64_t offset, const std::vector<std::uint8_t>& bytes) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->drives.at(number)->WriteBytes(offset, bytes.data(), bytes.size());
}

bool SimPlatform::IsZero(unsigned number, std::int64_t offset, std::int64_t length) {
    std::lock_guard lock(m_impl->mutex);
    SimDrive& drive = *m_impl->drives.at(number);
    const std::int64_t end = offset + length;
    if (drive.params.imageFile.empty()) {
        for (const auto& [page, bytes] : drive.pages) {
            const std::int64_t start = page * kPageSize;
            const std::int64_t lo = std::max(start, offset);
            const std::int64_t hi = std::min(start + kPageSize, end);
            if (lo >= hi) continue;
            if (!AllZero(bytes.data() + (lo - start), static_cast<std::size_t>(hi - lo))) return false;
        }
        return true;
    }
    if (!drive.EnsureImage()) return false;
    std::vector<std::uint8_t> chunk(1 << 20);
    std::int64_t pos = offset;
    while (pos < end) {
        // Holes of a sparse image read as zero: skip straight to the next data.
        const off_t data = ::lseek(drive.fd, static_cast<off_t>(pos), SEEK_DATA);
        if (data < 0) break;
        pos = std::max<std::int64_t>(pos, data);
        if (pos >= end) break;
        const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(end - pos, 1 << 20));
        if (!drive.ReadBytes(pos, chunk.data(), n)) return false;
        if (!AllZero(chunk.data(), n)) return false;
        pos += static_cast<std::int64_t>(n);
    }
    return true;
}

}  // namespace orm::sim
