// The registry wrapper: one key open at a time, integer values read and written, errors as
// exceptions.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Backend.h"

namespace forms {

constexpr std::uint32_t HKEY_CURRENT_USER = platform::reg::kHkeyCurrentUser;

class TRegistry {
 public:
  TRegistry();  // rooted at HKEY_CURRENT_USER
  ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  std::uint32_t RootKey() const { return root_; }
  void SetRootKey(std::uint32_t root);

  // A path with a leading backslash starts at the root key. False when the key cannot be
  // opened (or created, with create true).
  bool OpenKey(std::string_view path, bool create);
  // The value must exist and be a REG_DWORD; otherwise ERegistryException.
  std::int32_t ReadInteger(std::string_view name);
  // ERegistryException when the value cannot be set.
  void WriteInteger(std::string_view name, std::int32_t value);
  // Closes the open key, making its writes lasting; ERegistryException when that fails.
  void CloseKey();

 private:
  std::uint32_t root_ = HKEY_CURRENT_USER;
  std::unique_ptr<platform::RegistryKey> key_;
  bool dirty_ = false;
};

}  // namespace forms
