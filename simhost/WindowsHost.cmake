# The stand-in host's Windows build: simhost.exe with the host's API exported
# from the program (an import library through ENABLE_EXPORTS, made with
# -Wl,--out-implib), the module glue, the XR sample class as a DLL, and
# EasyHook64.dll, the stand-in of the function-replacement library, whose
# calls reach the host's replacement service. Windows' own headers and
# libraries stand in for nothing: the stand-ins of Win32, Windows Sockets,
# keyboard hooks and the loader are left out.
add_library(simhost_sdk INTERFACE)
target_include_directories(simhost_sdk INTERFACE ${CMAKE_CURRENT_SOURCE_DIR}/sdk ${CMAKE_CURRENT_SOURCE_DIR}/sdk/xr)
# Tells common/module/Platform.h to take these stand-ins over Windows' own headers.
target_compile_definitions(simhost_sdk INTERFACE HELM_STANDIN_HOST)

# The POSIX stand-ins of what Windows has, and their Windows counterparts.
set(SIMHOST_POSIX_ONLY
    src/KeyInput.cpp                           # src/windows/KeyInput.cpp: SendInput to the host's window
    src/platform/KeyHooks.cpp                  # the system's hook chain
    src/platform/ModuleRegistry.cpp            # src/windows/ModuleLibraries.cpp: LoadLibrary
    src/platform/DatagramQueue.cpp             # Windows Sockets
    src/platform/Sockets.cpp
    src/platform/WinsockStartup.cpp
    src/platform/Win32Process.cpp              # Win32: time, process, folder, files
    src/platform/Sleep.cpp
    src/platform/FunctionReplacementCalls.cpp  # src/windows/EasyHookStandin.cpp: EasyHook64.dll
    app/ProgramFolder.cpp                      # app/windows/
    app/StopSignal.cpp)
list(TRANSFORM SIMHOST_POSIX_ONLY PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
file(GLOB SIMHOST_WINDOWS_SOURCES CONFIGURE_DEPENDS
     ${CMAKE_CURRENT_SOURCE_DIR}/src/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/src/vessel/*.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/src/platform/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/src/windows/*.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/app/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/app/windows/*.cpp)
list(REMOVE_ITEM SIMHOST_WINDOWS_SOURCES ${SIMHOST_POSIX_ONLY} ${CMAKE_CURRENT_SOURCE_DIR}/src/windows/EasyHookStandin.cpp)

add_executable(simhost ${SIMHOST_WINDOWS_SOURCES})
target_compile_definitions(simhost PRIVATE SIMHOST_BUILDING_HOST)
target_include_directories(simhost PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/include ${CMAKE_CURRENT_SOURCE_DIR}/src
                                           ${CMAKE_CURRENT_SOURCE_DIR}/app)
target_link_libraries(simhost PRIVATE simhost_sdk user32)
set_target_properties(simhost PROPERTIES ENABLE_EXPORTS ON)

# What the host SDK's static library gives every plug-in.
add_library(simhost_module_glue OBJECT glue/ModuleGlue.cpp)
target_link_libraries(simhost_module_glue PUBLIC simhost_sdk)

add_library(EasyHook64 SHARED src/windows/EasyHookStandin.cpp)
set_target_properties(EasyHook64 PROPERTIES PREFIX "")
target_compile_definitions(EasyHook64 PRIVATE SIMHOST_BUILDING_EASYHOOK)
target_include_directories(EasyHook64 PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
target_link_libraries(EasyHook64 PRIVATE simhost_sdk simhost)

# Vessel class modules, loaded under the class name.
function(simhost_vessel_class vesselClass)
  add_library(${vesselClass} SHARED ${ARGN} $<TARGET_OBJECTS:simhost_module_glue>)
  target_link_libraries(${vesselClass} PRIVATE simhost_sdk simhost)
endfunction()
simhost_vessel_classes()
