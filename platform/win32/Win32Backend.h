// The Windows backend: the platform seam realised with the plain Windows API.
#pragma once

#include <memory>

#include "platform/Backend.h"

namespace platform::win32 {

// Creates the hidden application window (it carries the taskbar entry) and the hidden board
// it owns. Returns nothing when the window classes or windows cannot be created.
std::unique_ptr<Backend> CreateBackend();

}  // namespace platform::win32
