# 64-bit Windows: the plug-in for the 64-bit editor.
set(BRINKWATCHER_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/clang-mingw.cmake)
