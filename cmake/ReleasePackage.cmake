# The release package: one ZIP that unpacks into the host's own folder.
#   Modules/Plugin/Helmcast.dll, Modules/Plugin/Helmecho.dll
#   Config/Helmcast.cfg, Config/Helmecho.cfg   (the commented examples)
#   Doc/Helmcast/README.md, Doc/Helmcast/protocol.md (and LICENSE, once the project has one)
# Made by `cpack -C Release` (or the `package` target) in a Windows build
# folder; named for the host it belongs to: Helmcast-Helmecho-win32.zip or
# Helmcast-Helmecho-win64.zip. EasyHook's DLL is not ours to ship: the
# README says where it goes.
# Only the DLL files: the import libraries a mingw-w64 build makes beside
# them are of no use to the host.
install(FILES $<TARGET_FILE:Helmcast> $<TARGET_FILE:Helmecho> DESTINATION Modules/Plugin)
install(FILES ${CMAKE_SOURCE_DIR}/config/Helmcast.cfg ${CMAKE_SOURCE_DIR}/config/Helmecho.cfg DESTINATION Config)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/docs/protocol.md DESTINATION Doc/Helmcast)
if(EXISTS ${CMAKE_SOURCE_DIR}/LICENSE)
  install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION Doc/Helmcast)
endif()

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(HELM_PACKAGE_HOST win64)
else()
  set(HELM_PACKAGE_HOST win32)
endif()
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Helmcast-Helmecho)
set(CPACK_PACKAGE_VENDOR "Helmcast developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Helmcast (master) and Helmecho (slave): one shared simulation over UDP")
set(CPACK_PACKAGE_FILE_NAME Helmcast-Helmecho-${HELM_PACKAGE_HOST})
# Unpacked in the host's folder, the paths above land where the host looks.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)
