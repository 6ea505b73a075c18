# Cross build for 64-bit Windows with Debian's MinGW-w64 (the POSIX-threads flavour, which
# std::thread and std::jthread need). The dependencies are staged by scripts/bootstrap under
# PELLACOR_WINDOWS_DEPS (GoogleTest built for MinGW, the header-only libraries copied from
# Debian's include folders); nothing is taken from the build machine's own libraries.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_triple}-windres)

if(NOT PELLACOR_WINDOWS_DEPS AND DEFINED ENV{PELLACOR_WINDOWS_DEPS})
  set(PELLACOR_WINDOWS_DEPS "$ENV{PELLACOR_WINDOWS_DEPS}")
endif()
set(PELLACOR_WINDOWS_DEPS "${PELLACOR_WINDOWS_DEPS}" CACHE PATH "Staged Windows dependencies")
set(CMAKE_FIND_ROOT_PATH /usr/${_triple} ${PELLACOR_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One file per program to copy to a technician's PC: no MinGW runtime DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests and gtest_discover_tests run the .exe files through Wine, by a script that starts
# again a test run Wine failed to begin.
find_program(PELLACOR_WINE NAMES wine64 wine)
if(PELLACOR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
endif()
