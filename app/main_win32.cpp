// Windows entry point: makes the Windows backend and runs the program on it.
#include "app/Startup.h"
#include "platform/win32/Win32Backend.h"

// After the seam: the Unicode macros would otherwise rename its MessageBox method.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*command_line*/,
                    int /*show*/) {
  // The arguments are read by the game through the backend, like on every platform.
  const auto backend = platform::win32::CreateBackend();
  if (backend == nullptr) return 0;
  return app::RunProgram(*backend);
}
