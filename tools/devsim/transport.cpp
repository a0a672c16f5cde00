#include "tools/devsim/transport.h"

#include <unistd.h>

namespace vek {
namespace devsim {

long Transport::readSome(std::uint8_t* buffer, std::size_t capacity) {
    return ::read(fd(), buffer, capacity);
}

long Transport::writeSome(const std::uint8_t* data, std::size_t length) {
    return ::write(fd(), data, length);
}

}  // namespace devsim
}  // namespace vek
