// The single-instance guard on Linux: an exclusive lock on a named file in the user's runtime folder.
#pragma once

#include <filesystem>
#include <string_view>

namespace platform::qt {

class InstanceGuard {
 public:
  InstanceGuard() = default;
  ~InstanceGuard();
  InstanceGuard(const InstanceGuard&) = delete;
  InstanceGuard& operator=(const InstanceGuard&) = delete;

  // Takes the lock named name in folder. False only when another process holds it; when
  // the lock file cannot be made at all the game runs unguarded, as a failed mutex call would.
  bool Acquire(const std::filesystem::path& folder, std::string_view name);
  void Release();

  // $XDG_RUNTIME_DIR, or a private folder of this user's in the temporary directory.
  static std::filesystem::path DefaultFolder();

 private:
  int fd_ = -1;
};

}  // namespace platform::qt
