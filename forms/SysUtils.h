// Run-time helpers the board uses: the framework's error type, number conversion, the command
// line, the tick count, sleeping and the processor type.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace forms {

// Every error of the framework is one of these; handlers let them escape to the dispatcher,
// which shows the error box.
class EFrameworkError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Registry access that failed: a value that is missing, of another type, or cannot be set.
class ERegistryException : public EFrameworkError {
 public:
  using EFrameworkError::EFrameworkError;
};

// A decimal number with optional leading blanks and sign, or a hexadecimal one written with
// '$', 'x' or '0x'. Anything else, overflow included, gives the default.
std::int32_t StrToIntDef(std::string_view text, std::int32_t default_value);
std::string IntToStr(std::int32_t value);

// The command line: ParamStr(0) is the program, ParamCount() the number of arguments after it.
int ParamCount();
std::string ParamStr(int index);

std::uint32_t GetTickCount();
void Sleep(std::uint32_t milliseconds);

struct TSystemInfo {
  std::uint32_t dwProcessorType = 0;
};
void GetSystemInfo(TSystemInfo& info);

// 32-bit two's-complement sums, as the score record's counters behave on overflow.
constexpr std::int32_t WrappingAdd(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

}  // namespace forms
