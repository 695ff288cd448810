// Run-time helpers: number conversion and the thin calls through to the platform.
#include "forms/SysUtils.h"

#include "forms/Application.h"
#include "platform/Backend.h"

namespace forms {

namespace {

int DigitValue(char c, int base) {
  int value = -1;
  if (c >= '0' && c <= '9') value = c - '0';
  else if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
  return value < base ? value : -1;
}

}  // namespace

std::int32_t StrToIntDef(std::string_view text, std::int32_t default_value) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  } else if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
    base = 16;
    ++i;
  }
  if (i == text.size()) return default_value;
  // Decimal must fit a signed 32-bit number; hexadecimal may use all 32 bits.
  const std::uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  std::uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const int digit = DigitValue(text[i], base);
    if (digit < 0) return default_value;
    magnitude = magnitude * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    if (magnitude > limit) return default_value;
  }
  auto bits = static_cast<std::uint32_t>(magnitude);
  if (negative) bits = 0u - bits;
  return static_cast<std::int32_t>(bits);
}

std::string IntToStr(std::int32_t value) { return std::to_string(value); }

int ParamCount() {
  const auto count = Application->Backend().Arguments().size();
  return count == 0 ? 0 : static_cast<int>(count - 1);
}

std::string ParamStr(int index) {
  const auto arguments = Application->Backend().Arguments();
  if (index < 0 || static_cast<std::size_t>(index) >= arguments.size()) return {};
  return arguments[static_cast<std::size_t>(index)];
}

std::uint32_t GetTickCount() { return Application->Backend().TickCount(); }

void Sleep(std::uint32_t milliseconds) { Application->Backend().Sleep(milliseconds); }

void GetSystemInfo(TSystemInfo& info) {
  info.dwProcessorType = Application->Backend().ProcessorType();
}

}  // namespace forms
