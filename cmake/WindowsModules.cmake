# The two modules for the real host on Windows: 32-bit DLLs built against the
# host's SDK (HELM_ORBITER_SDK: the folder with include/ and lib/) and the
# function-replacement library (HELM_EASYHOOK: its header and EasyHook32.lib).
# This build is written for MSVC and is not exercised by this project's CI.
if(NOT HELM_ORBITER_SDK)
  message(FATAL_ERROR "Set HELM_ORBITER_SDK to the host SDK folder (Orbitersdk)")
endif()
set(HELM_EASYHOOK "" CACHE PATH "Folder with easyhook.h and EasyHook32.lib")
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  message(WARNING "The host is a 32-bit program: configure with -A Win32")
endif()

# The SDK's headers come first; only XRVesselCtrl.h is taken from simhost/include.
set(HELM_WINDOWS_INCLUDES ${HELM_ORBITER_SDK}/include ${HELM_EASYHOOK} ${CMAKE_SOURCE_DIR}/common)
set(HELM_WINDOWS_LIBS ${HELM_ORBITER_SDK}/lib/orbiter.lib ${HELM_ORBITER_SDK}/lib/Orbitersdk.lib ws2_32)

file(GLOB HELM_COMMON_SOURCES ${CMAKE_SOURCE_DIR}/common/*.cpp)
file(GLOB HELM_MASTER_SOURCES ${CMAKE_SOURCE_DIR}/master/*.cpp)
file(GLOB HELM_SLAVE_SOURCES ${CMAKE_SOURCE_DIR}/slave/*.cpp)

add_library(Helmcast SHARED ${HELM_COMMON_SOURCES} ${HELM_MASTER_SOURCES})
target_include_directories(Helmcast PRIVATE ${HELM_WINDOWS_INCLUDES} ${CMAKE_SOURCE_DIR}/master)
target_include_directories(Helmcast AFTER PRIVATE ${CMAKE_SOURCE_DIR}/simhost/include)
target_link_libraries(Helmcast PRIVATE ${HELM_WINDOWS_LIBS})

if(HELM_SLAVE_SOURCES)
  add_library(Helmecho SHARED ${HELM_COMMON_SOURCES} ${HELM_SLAVE_SOURCES})
  target_include_directories(Helmecho PRIVATE ${HELM_WINDOWS_INCLUDES} ${CMAKE_SOURCE_DIR}/slave)
  target_include_directories(Helmecho AFTER PRIVATE ${CMAKE_SOURCE_DIR}/simhost/include)
  target_link_libraries(Helmecho PRIVATE ${HELM_WINDOWS_LIBS} ${HELM_EASYHOOK}/EasyHook32.lib)
endif()
