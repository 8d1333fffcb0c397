// Data resources stored in the executable by the resource script (Windows builds).
#pragma once

#include <cstdint>
#include <span>

namespace platform {

// Bytes of the RCDATA resource with this numeric id in the executable's own module, found,
// loaded and locked through the system's resource functions; empty when there is none. The
// bytes stay valid for the life of the process.
std::span<const uint8_t> resourceData(int id);

}  // namespace platform
