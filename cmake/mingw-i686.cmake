# 32-bit Windows: the plug-in for the 32-bit editor.
set(BRINKWATCHER_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/clang-mingw.cmake)
