// The registry wrapper over the platform's store.
#include "forms/Registry.h"

#include "forms/Application.h"
#include "forms/SysUtils.h"

namespace forms {

TRegistry::TRegistry() = default;

// Writes not closed explicitly are dropped: a wrapper left by an error keeps the old record.
TRegistry::~TRegistry() = default;

void TRegistry::SetRootKey(std::uint32_t root) {
  key_.reset();
  root_ = root;
}

bool TRegistry::OpenKey(std::string_view path, bool create) {
  if (key_) CloseKey();
  while (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  key_ = Application->Backend().Registry().OpenKey(root_, path, create);
  dirty_ = false;
  return key_ != nullptr;
}

std::int32_t TRegistry::ReadInteger(std::string_view name) {
  std::optional<platform::RegistryValue> value;
  if (key_) value = key_->Read(name);
  if (!value || value->type != platform::reg::kDword || value->data.size() != 4)
    throw ERegistryException("Registry value '" + std::string(name) + "' is missing or not a whole number");
  const auto& d = value->data;
  const std::uint32_t bits = static_cast<std::uint32_t>(d[0]) | static_cast<std::uint32_t>(d[1]) << 8 |
                             static_cast<std::uint32_t>(d[2]) << 16 | static_cast<std::uint32_t>(d[3]) << 24;
  return static_cast<std::int32_t>(bits);
}

void TRegistry::WriteInteger(std::string_view name, std::int32_t value) {
  if (!key_ || !key_->WriteDword(name, static_cast<std::uint32_t>(value)))
    throw ERegistryException("Registry value '" + std::string(name) + "' could not be written");
  dirty_ = true;
}

void TRegistry::CloseKey() {
  if (!key_) return;
  auto key = std::move(key_);
  if (dirty_ && !key->Commit()) throw ERegistryException("Registry key could not be saved");
  dirty_ = false;
}

}  // namespace forms
