# Toolchain of the Windows compile and link check (scripts/wincheck) for the
# 32-bit host: clang for i686-w64-mingw32.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(HELM_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-clang.cmake)
