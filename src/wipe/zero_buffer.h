// The wipe's source of zeroes: one WipeChunkSize block, aligned to 4096 bytes so that writes
// through a handle that bypasses the page cache (O_DIRECT needs a buffer aligned to the logical
// sector, which is 512 or 4096 bytes) take it as it is. Filled with zeroes once, when made, and
// never changed afterwards. Owned by one wipe.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orm {

class ZeroBuffer {
  public:
    static constexpr std::size_t kAlignment = 4096;

    explicit ZeroBuffer(std::size_t size);
    ~ZeroBuffer();
    ZeroBuffer(const ZeroBuffer&) = delete;
    ZeroBuffer& operator=(const ZeroBuffer&) = delete;

    const std::uint8_t* Data() const { return m_data; }
    std::size_t Size() const { return m_size; }

  private:
    std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
};

}  // namespace orm
