// Tick count and processor class from the Linux kernel and the CPUID instruction.
#include "platform/qt/SystemInfo.h"

#include <time.h>

#include "platform/Backend.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace platform::qt {

std::uint32_t MillisecondsSinceBoot() {
  // CLOCK_BOOTTIME goes on through suspend, as the Windows tick count does.
  timespec now{};
  if (clock_gettime(CLOCK_BOOTTIME, &now) != 0) clock_gettime(CLOCK_MONOTONIC, &now);
  const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                  static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);
}

namespace {

// CPUID family 3 and 4 are the 386 and 486; anything later is not one of the slow classes.
std::uint32_t ProcessorClassForFamily(unsigned family, bool is_64_bit) {
  if (family == 3) return kProcessorIntel386;
  if (family == 4) return kProcessorIntel486;
  return is_64_bit ? kProcessorAmdX8664 : kProcessorIntelPentium;
}

}  // namespace

std::uint32_t ProcessorClass() {
#if defined(__i386__) || defined(__x86_64__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  // A processor without CPUID (an early 486 or a 386) answers nothing here.
  const unsigned family = __get_cpuid(1, &eax, &ebx, &ecx, &edx) ? (eax >> 8) & 0xFu : 4u;
#if defined(__x86_64__)
  return ProcessorClassForFamily(family, true);
#else
  return ProcessorClassForFamily(family, false);
#endif
#else
  // Not an x86: never one of the slow classes the game warns about.
  return ProcessorClassForFamily(0, sizeof(void*) == 8);
#endif
}

}  // namespace platform::qt
