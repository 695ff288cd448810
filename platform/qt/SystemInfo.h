// The system facts the game reads on Linux: milliseconds since boot and the processor class.
#pragma once

#include <cstdint>

namespace platform::qt {

// Milliseconds since the system started, wrapping at 2^32 like the Windows tick count.
std::uint32_t MillisecondsSinceBoot();

// The processor class in the Windows numbering (386, 486, 586 or 8664).
std::uint32_t ProcessorClass();

}  // namespace platform::qt
