# Cross-building ormandel.exe and the Windows tests with MinGW-w64 (Debian: g++-mingw-w64-x86-64-posix).
# The posix driver is needed: the win32 thread model of GCC 12 has no std::thread or std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORMANDEL_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ORMANDEL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORMANDEL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ORMANDEL_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ORMANDEL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One portable exe: without -static it needs the libstdc++, libgcc and winpthread DLLs beside it,
# and under Wine it then just exits.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# A cache entry, so that a value given on the command line wins.
set(CMAKE_CROSSCOMPILING_EMULATOR wine CACHE STRING "Runs the cross-built executables")

# Header-only libraries of the build host that the cross build may use, each through a folder of
# its own (never the host's whole /usr/include).
set(nlohmann_json_DIR ${CMAKE_CURRENT_LIST_DIR}/mingw-deps CACHE PATH "nlohmann/json for the cross build")
