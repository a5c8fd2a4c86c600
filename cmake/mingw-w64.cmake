# Cross-compiling the Qt-free part (the core libraries and rvx-cli) for 64-bit Windows with
# Debian's MinGW-w64 compilers (g++-mingw-w64-x86-64-posix: the POSIX thread model, for
# std::thread). The programs are linked statically so that rvx-cli.exe runs alone: no MinGW
# runtime DLL (libstdc++, libgcc, libwinpthread) has to be shipped or found beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# The build's programs and tests run on this machine under wine, in a wine prefix of the build
# folder's own (cmake/wine-run.sh): ctest runs the Windows tests through it.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR}/wine)
