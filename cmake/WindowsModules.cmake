# The two modules for the real host on Windows: DLLs built against the host's
# SDK and the function-replacement library (EasyHook), 32-bit for the 32-bit
# host and 64-bit for the 64-bit one.
#
# Release build, MSVC (configure with -A Win32 or -A x64):
#   HELM_ORBITER_SDK  the SDK folder of that host: include/, lib/orbiter.lib, lib/Orbitersdk.lib
#   HELM_EASYHOOK     the folder with easyhook.h and EasyHook32.lib (Win32) or EasyHook64.lib (x64)
# Check build, clang for i686-w64-mingw32 or x86_64-w64-mingw32 (scripts/wincheck,
# toolchains cmake/windows/<triple>-clang.cmake):
#   HELM_ORBITER_SDK  include/ and Orbitersdk.cpp (the source of the SDK's static library)
#   HELM_EASYHOOK     the folder with easyhook.h
#   No host or EasyHook library exists there: their import libraries are made
#   with dlltool from cmake/windows/<i686|x86_64>/*.def (the host's names
#   differ between the two) and the SDK's static library is compiled from its
#   source. Its DLLs are a compile and link check only: GCC's C++ ABI is not
#   the host's.
# The module sources are taken by folder: every .cpp of common/'s folders and
# master/ (Helmcast), of common/'s folders and slave/ (Helmecho).
if(NOT HELM_ORBITER_SDK)
  message(FATAL_ERROR "Set HELM_ORBITER_SDK to the host SDK folder (Orbitersdk)")
endif()
set(HELM_EASYHOOK "" CACHE PATH "Folder with easyhook.h (and EasyHook32.lib or EasyHook64.lib for MSVC)")
option(HELM_WINDOWS_WARNINGS_AS_ERRORS "Fail the Windows build on a warning in the project's code" OFF)
if(NOT HELM_EASYHOOK)
  message(FATAL_ERROR "Set HELM_EASYHOOK to the folder with easyhook.h")
endif()
# The host comes as a 32-bit and a 64-bit program; the modules are built for
# the one they load into, with the EasyHook library of the same width.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(HELM_WINDOWS_ARCH i686)
  set(HELM_EASYHOOK_NAME EasyHook32)
elseif(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(HELM_WINDOWS_ARCH x86_64)
  set(HELM_EASYHOOK_NAME EasyHook64)
else()
  message(FATAL_ERROR "The host is a 32-bit or a 64-bit program: configure with -A Win32 or -A x64")
endif()

set(HELM_WINDOWS_DIR ${CMAKE_SOURCE_DIR}/cmake/windows)
# The .cpp files of common/'s folders (its socket/posix/ calls are not Windows').
file(GLOB HELM_COMMON_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/common/*/*.cpp)
file(GLOB HELM_MASTER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/master/*.cpp)
file(GLOB HELM_SLAVE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/slave/*.cpp)

if(HELM_WINDOWS_WARNINGS_AS_ERRORS)
  add_compile_options($<IF:$<CXX_COMPILER_ID:MSVC>,/WX,-Werror>)
endif()

if(MSVC)
  set(HELM_HOST_LIBS ${HELM_ORBITER_SDK}/lib/orbiter.lib ${HELM_ORBITER_SDK}/lib/Orbitersdk.lib)
  set(HELM_EASYHOOK_LIB ${HELM_EASYHOOK}/${HELM_EASYHOOK_NAME}.lib)
else()
  # The SDK headers are written for MSVC: the prelude supplies what only MSVC
  # accepts, sdk-case their <lua/lua.h> for the folder Lua/ (found as it is
  # only on a case-insensitive file system).
  add_compile_options(-include ${HELM_WINDOWS_DIR}/SdkPrelude.h -idirafter ${HELM_WINDOWS_DIR}/sdk-case)
  # Module code (through Platform.h) also gets the Windows SDK's min and max
  # macros, as under MSVC.
  set(HELM_WINSDK_EMULATION ${HELM_WINDOWS_DIR}/winsdk)

  set(HELM_IMPORT_DIR ${CMAKE_BINARY_DIR}/import)
  set(HELM_IMPORT_LIBS)
  # The host's exported names depend on its width: one folder of .def files
  # per mingw-w64 architecture.
  set(HELM_DEF_DIR ${HELM_WINDOWS_DIR}/${HELM_WINDOWS_ARCH})
  foreach(dll orbiter ${HELM_EASYHOOK_NAME})
    set(importLib ${HELM_IMPORT_DIR}/lib${dll}.a)
    add_custom_command(OUTPUT ${importLib}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${HELM_IMPORT_DIR}
                       COMMAND ${CMAKE_DLLTOOL} -d ${HELM_DEF_DIR}/${dll}.def -l ${importLib}
                       DEPENDS ${HELM_DEF_DIR}/${dll}.def
                       COMMENT "Import library for ${dll} from ${dll}.def")
    list(APPEND HELM_IMPORT_LIBS ${importLib})
  endforeach()
  add_custom_target(helm_import_libs DEPENDS ${HELM_IMPORT_LIBS})

  add_library(Orbitersdk STATIC ${HELM_ORBITER_SDK}/Orbitersdk.cpp)
  target_include_directories(Orbitersdk SYSTEM PRIVATE ${HELM_ORBITER_SDK}/include)
  # The SDK's own source, not the project's: its warnings are not ours.
  target_compile_options(Orbitersdk PRIVATE -w)
  set(HELM_HOST_LIBS Orbitersdk ${HELM_IMPORT_DIR}/liborbiter.a)
  set(HELM_EASYHOOK_LIB ${HELM_IMPORT_DIR}/lib${HELM_EASYHOOK_NAME}.a)
endif()

# The SDK's headers (not the project's to warn about) and EasyHook's first;
# the project's XR interface has a folder of its own, so none of the
# stand-ins of simhost/sdk is on the path.
function(helm_windows_includes target)
  target_include_directories(${target} SYSTEM PRIVATE ${HELM_WINSDK_EMULATION} ${HELM_ORBITER_SDK}/include)
  target_include_directories(${target} PRIVATE ${HELM_EASYHOOK} ${HELM_COMMON_DIRS})
  target_include_directories(${target} AFTER PRIVATE ${CMAKE_SOURCE_DIR}/simhost/sdk/xr)
endfunction()

function(helm_windows_module name)
  add_library(${name} SHARED ${ARGN})
  set_target_properties(${name} PROPERTIES PREFIX "")
  helm_windows_includes(${name})
  target_link_libraries(${name} PRIVATE ${HELM_HOST_LIBS} ws2_32 user32)
  if(TARGET helm_import_libs)
    add_dependencies(${name} helm_import_libs)
  endif()
endfunction()

helm_windows_module(Helmcast ${HELM_COMMON_SOURCES} ${HELM_MASTER_SOURCES})
target_include_directories(Helmcast PRIVATE ${CMAKE_SOURCE_DIR}/master)

helm_windows_module(Helmecho ${HELM_COMMON_SOURCES} ${HELM_SLAVE_SOURCES})
target_include_directories(Helmecho PRIVATE ${CMAKE_SOURCE_DIR}/slave)
target_link_libraries(Helmecho PRIVATE ${HELM_EASYHOOK_LIB})

# The record layouts the modules assume, checked by the compiler that builds
# them (static_asserts; the virtual slots are read by scripts/wincheck).
add_library(helm_abi_check OBJECT ${HELM_WINDOWS_DIR}/MsvcAbiCheck.cpp)
helm_windows_includes(helm_abi_check)

# The check build also compiles simhost's sample vessel class that offers the
# XR interface against the SDK (not a deliverable: compiled, not linked; it
# uses POSIX <strings.h>, which MSVC lacks).
file(GLOB HELM_XR_SAMPLE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/simhost/vessels/XRSample/*.cpp)
if(NOT MSVC)
  add_library(XRSample_compile_check OBJECT ${HELM_XR_SAMPLE_SOURCES})
  target_include_directories(XRSample_compile_check SYSTEM PRIVATE ${HELM_ORBITER_SDK}/include)
  target_include_directories(XRSample_compile_check PRIVATE ${CMAKE_SOURCE_DIR}/simhost/sdk/xr)
endif()

include(${CMAKE_SOURCE_DIR}/cmake/ReleasePackage.cmake)
