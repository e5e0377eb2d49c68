# Toolchain of the Windows compile and link check (scripts/wincheck) for the
# 64-bit host: clang for x86_64-w64-mingw32.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(HELM_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-clang.cmake)
