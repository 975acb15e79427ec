# Shared by the toolchain files: cross-compiles for Windows with Clang and LLD against the
# MinGW-w64 sysroot and GCC's C++ library (posix threads, for std::mutex in GoogleTest), and runs
# the built programs under Wine. Clang with LLD gives thread_local the system's own implicit TLS;
# GCC for MinGW only has emulated TLS, which allocates on a thread's first use. Version 19: the
# first in Debian 12 that compiles and links Control Flow Guard for MinGW targets.
# The including file sets BRINKWATCHER_ARCH (i686 or x86_64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${BRINKWATCHER_ARCH})
set(triple ${BRINKWATCHER_ARCH}-w64-mingw32)
set(gcc_dir /usr/lib/gcc/${triple}/12-posix)

set(CMAKE_C_COMPILER clang-19)
set(CMAKE_C_COMPILER_TARGET ${triple})
set(CMAKE_CXX_COMPILER clang++-19)
set(CMAKE_CXX_COMPILER_TARGET ${triple})
set(CMAKE_ASM_COMPILER clang-19)
set(CMAKE_ASM_COMPILER_TARGET ${triple})
set(CMAKE_RC_COMPILER ${triple}-windres)

# Debian's clang finds the MinGW C headers but not GCC's C++ headers and libraries.
set(CMAKE_CXX_FLAGS_INIT "-isystem ${gcc_dir}/include/c++ -isystem ${gcc_dir}/include/c++/${triple} -isystem ${gcc_dir}/include/c++/backward")
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-fuse-ld=lld -L${gcc_dir}")
endforeach()

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Each build tree keeps its own Wine prefix; scripts/wine-run.sh finds it from the build dir.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh ${BRINKWATCHER_ARCH})
