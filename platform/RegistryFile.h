// The registry's stand-in where there is none: the score record's key kept in a text file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string_view>

#include "platform/Backend.h"

namespace platform {

namespace detail {
struct RegistryFileState;  // what the store shares with the keys it opened
}

// $XDG_DATA_HOME/Telquarin/QX-Nembrolix/Vortrane.reg. An unset, empty or relative
// $XDG_DATA_HOME counts as absent and gives ~/.local/share. Empty when there is no home folder.
std::filesystem::path DefaultRegistryFilePath();

// One file holds one key, HKEY_CURRENT_USER\Software\Telquarin\QX-Nembrolix\Vortrane, in the
// registry's export syntax so a person can read and edit it:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Telquarin\QX-Nembrolix\Vortrane]
//   "Kachi"=dword:00000003
//
// Values read back with their real types: dword:XXXXXXXX (REG_DWORD, 4 bytes little-endian),
// "text" (REG_SZ, stored as Windows stores it: UTF-16LE with a terminating NUL), hex:..
// (REG_BINARY) and hex(N):.. (type N, in hex). Value names compare without regard to ASCII case; @
// is the unnamed value. Files are written with LF; LF and CRLF are read, with or without a UTF-8
// BOM.
//
// A file that does not parse still opens, but every value in it reads as REG_NONE; the first save
// keeps it beside the new file as Vortrane.reg.damaged (or .damaged.1, .damaged.2, ...).
// A save replaces the whole file at once: a temporary file in the same folder, flushed, renamed
// over the old one, then the folder flushed. Keys may outlive the store; two keys open at once
// each write their own whole record (the last save wins).
class RegistryFile final : public RegistryStore {
 public:
  // The one key the file holds, relative to HKEY_CURRENT_USER.
  static constexpr std::string_view kKeyPath = "Software\\Telquarin\\QX-Nembrolix\\Vortrane";

  // Runs once the temporary file is complete and flushed, just before it replaces the record;
  // false makes the save fail there. Lets a test break off a save where a crash would.
  using BeforeReplace = std::function<bool(const std::filesystem::path& temporary)>;

  explicit RegistryFile(std::filesystem::path file);
  RegistryFile(const RegistryFile&) = delete;
  RegistryFile& operator=(const RegistryFile&) = delete;

  // Only kHkeyCurrentUser + kKeyPath (any ASCII case) opens; every other key gives nothing.
  // Nothing, too, when the file exists but cannot be read, when it is absent and create is false,
  // or (create true) when its folder cannot be created or written.
  std::unique_ptr<RegistryKey> OpenKey(std::uint32_t root, std::string_view path,
                                       bool create) override;

  void SetBeforeReplace(BeforeReplace hook);
  const std::filesystem::path& File() const;

 private:
  std::shared_ptr<detail::RegistryFileState> state_;
};

}  // namespace platform
