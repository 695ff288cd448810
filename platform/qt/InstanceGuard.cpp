// flock-based single-instance guard: the kernel drops the lock however the process ends.
#include "platform/qt/InstanceGuard.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace platform::qt {

namespace {

// A folder fit for the lock: ours, a directory, and nobody else may write into it.
bool IsPrivateFolder(const std::filesystem::path& folder) {
  struct stat info {};
  if (lstat(folder.c_str(), &info) != 0) return false;
  return S_ISDIR(info.st_mode) && info.st_uid == getuid() && (info.st_mode & 022) == 0;
}

}  // namespace

InstanceGuard::~InstanceGuard() { Release(); }

std::filesystem::path InstanceGuard::DefaultFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
    std::error_code error;
    if (std::filesystem::is_directory(runtime, error)) return runtime;
  }
  const char* tmp = std::getenv("TMPDIR");
  std::filesystem::path base = (tmp && *tmp) ? tmp : "/tmp";
  auto folder = base / ("vortrane-" + std::to_string(getuid()));
  mkdir(folder.c_str(), 0700);  // EEXIST is fine; the check below decides
  return folder;
}

bool InstanceGuard::Acquire(const std::filesystem::path& folder, std::string_view name) {
  Release();
  // In a folder someone else could write to, they could hold our lock; run unguarded instead.
  if (!IsPrivateFolder(folder)) return true;
  std::string file_name(name);
  for (char& c : file_name)
    if (c == '/') c = '_';
  const auto path = folder / file_name;
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return true;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool held_elsewhere = errno == EWOULDBLOCK;
    close(fd);
    return !held_elsewhere;
  }
  fd_ = fd;
  return true;
}

void InstanceGuard::Release() {
  if (fd_ < 0) return;
  // The file stays: removing it would let a third copy lock a fresh file while a second
  // copy still holds the old one.
  flock(fd_, LOCK_UN);
  close(fd_);
  fd_ = -1;
}

}  // namespace platform::qt
