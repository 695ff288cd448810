# Cross-builds the Windows game with mingw-w64 (posix threads), statically linked, run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triplet}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One .exe that needs nothing beyond the system's own DLLs: no libstdc++, libgcc or
# winpthread DLL next to it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# The wide-character Windows API throughout.
set(CMAKE_C_FLAGS_INIT "-DUNICODE -D_UNICODE")
set(CMAKE_CXX_FLAGS_INIT "-DUNICODE -D_UNICODE")

# Cross-built test programs run under Wine, in a prefix of their own with the test settings.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/e2e/windows/wine-run.sh)
