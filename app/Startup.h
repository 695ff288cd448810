// Program start-up: the single-instance guard, the application, the board and its message loop.
#pragma once

namespace platform {
class Backend;
}

namespace app {

// Runs the whole program on the given platform and returns the process's exit code (always 0).
int RunProgram(platform::Backend& backend);

}  // namespace app
