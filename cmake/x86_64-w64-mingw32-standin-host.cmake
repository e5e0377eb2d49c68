# Toolchain of the stand-in host's Windows build (scripts/winrun): simhost.exe,
# the modules, the XR sample class and the function-replacement library's
# stand-in as x86_64 Windows programs and DLLs, built with mingw-w64's GCC
# and run under Wine.
#
# The POSIX thread model: with GCC 12's win32 model, libstdc++ has no
# std::mutex, std::condition_variable or std::thread, which the host uses.
# Everything links libgcc, libstdc++ and winpthreads statically, so that the
# DLLs import only from the host, the replacement stand-in and Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(HELM_MINGW_TRIPLE x86_64-w64-mingw32)
find_program(CMAKE_CXX_COMPILER NAMES ${HELM_MINGW_TRIPLE}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${HELM_MINGW_TRIPLE}-windres)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

set(CMAKE_FIND_ROOT_PATH /usr/${HELM_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
