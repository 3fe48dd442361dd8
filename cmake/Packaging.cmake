# The demo as users download it: one folder holding the executable, its assets, the file checkers,
# README and LICENSE, runnable from wherever it is unpacked (the demo reads its assets from the
# folder it runs in). Linux: NVesk-<version>-Linux-x86_64.tar.gz; Windows: NVesk-<version>-win64.zip.
# Self-contained, so by default in a folder of its own under /opt; the demo writes myLog.log where it
# runs, so install with --prefix into a folder you can write to, or run a copy.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT AND NOT WIN32)
  set(CMAKE_INSTALL_PREFIX /opt/nvesk CACHE PATH "Where cmake --install puts the demo's folder" FORCE)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)

# Installing and packaging need only what is installed, not the tests and benchmarks.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR "The NVesk developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "NVesk: a small real-time rendering engine on Direct3D 9, and its demo")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
if(WIN32)
  set(nvesk_package_system win64)
  set(CPACK_GENERATOR ZIP)
else()
  set(nvesk_package_system ${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR})
  set(CPACK_GENERATOR TGZ)
endif()
set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-${nvesk_package_system})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/../packages)
include(CPack)
