#include "wipe/zero_buffer.h"

#include <cstring>
#include <new>

namespace orm {

ZeroBuffer::ZeroBuffer(std::size_t size)
    : m_data(static_cast<std::uint8_t*>(::operator new (size, std::align_val_t{kAlignment}))), m_size(size) {
    std::memset(m_data, 0, m_size);
}

ZeroBuffer::~ZeroBuffer() {
    ::operator delete (m_data, std::align_val_t{kAlignment});
}

}  // namespace orm
