# Shared by the toolchains of the Windows compile and link check
# (scripts/wincheck), which set CMAKE_SYSTEM_PROCESSOR and HELM_MINGW_TRIPLE
# first: clang compiles for the mingw-w64 triple (the host SDK's headers need
# its -fms-extensions; g++ rejects DrawAPI.h) against mingw-w64's Windows
# headers and libstdc++, and links with mingw-w64's libraries. The DLLs it
# makes are a check only: their C++ ABI is not the host's (see docs/windows.md).
set(CMAKE_SYSTEM_NAME Windows)

find_program(HELM_MINGW_GXX NAMES ${HELM_MINGW_TRIPLE}-g++ ${HELM_MINGW_TRIPLE}-g++-win32 REQUIRED)
find_program(CMAKE_DLLTOOL NAMES ${HELM_MINGW_TRIPLE}-dlltool REQUIRED)

# mingw-w64's GCC folder (libstdc++ headers, libgcc, crtbegin.o): clang 14
# does not find Debian's versioned folder name (12-win32) by itself.
execute_process(COMMAND ${HELM_MINGW_GXX} -print-libgcc-file-name
                OUTPUT_VARIABLE HELM_MINGW_LIBGCC OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(HELM_MINGW_GCC_DIR "${HELM_MINGW_LIBGCC}" DIRECTORY)
set(HELM_MINGW_CXX_INCLUDE ${HELM_MINGW_GCC_DIR}/include/c++)

set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET ${HELM_MINGW_TRIPLE})
set(CMAKE_SYSROOT /usr/${HELM_MINGW_TRIPLE})
set(CMAKE_CXX_FLAGS_INIT
    "-fms-extensions -nostdinc++ -isystem ${HELM_MINGW_CXX_INCLUDE} -isystem ${HELM_MINGW_CXX_INCLUDE}/${HELM_MINGW_TRIPLE} -isystem ${HELM_MINGW_CXX_INCLUDE}/backward")
# Static libgcc and libstdc++: the DLLs import only from the host, EasyHook and
# Windows. The compile-only flags above are passed to the link as well.
set(HELM_MINGW_LINK_FLAGS
    "-L${HELM_MINGW_GCC_DIR} -B${HELM_MINGW_GCC_DIR} -static-libgcc -static-libstdc++ -Wno-unused-command-line-argument")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${HELM_MINGW_LINK_FLAGS}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${HELM_MINGW_LINK_FLAGS}")

set(CMAKE_FIND_ROOT_PATH /usr/${HELM_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
