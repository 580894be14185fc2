# The packages a user installs, both with project()'s version:
#   Linux (default preset):   cd build && cpack -G DEB            -> zumbolo_VERSION_amd64.deb
#   Windows (windows preset): cd build-windows && cpack -G ZIP    -> zumbolo-VERSION-win64.zip
# (`cmake --build <tree> --target package` does the same, after building everything.)

# The AppStream file's newest release is the version every artefact shows: a new version in
# project() needs its release entry, with a date and what it holds, before anything builds.
set(ZUMBOLO_METAINFO "${CMAKE_SOURCE_DIR}/platform/qt/data/io.github.zumbolo.Zumbolo.metainfo.xml")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${ZUMBOLO_METAINFO}")
file(READ "${ZUMBOLO_METAINFO}" zumbolo_metainfo)
if(NOT zumbolo_metainfo MATCHES "<release version=\"([^\"]+)\" date=\"([0-9]+-[0-9]+-[0-9]+)\">")
  message(FATAL_ERROR "${ZUMBOLO_METAINFO}: no <release version=\"...\" date=\"YYYY-MM-DD\"> entry")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "The newest release in ${ZUMBOLO_METAINFO} is ${CMAKE_MATCH_1}, but project() "
                      "says ${PROJECT_VERSION}: add a <release> entry for ${PROJECT_VERSION} above it")
endif()
set(ZUMBOLO_RELEASE_DATE "${CMAKE_MATCH_2}")

set(ZUMBOLO_MAINTAINER "Zumbolo! developers <zumbolo@users.noreply.github.com>" CACHE STRING
    "Who answers for the packages, as \"Name <address>\"")

set(CPACK_PACKAGE_NAME zumbolo)
set(CPACK_PACKAGE_VENDOR "Zumbolo! developers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "figures above the taskbar that spin like slot-machine reels and dance")
set(CPACK_RESOURCE_FILE_LICENSE "${CMAKE_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR "")

if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/windows_zip.cmake)
else()
  include(${CMAKE_CURRENT_LIST_DIR}/debian_package.cmake)
endif()
include(CPack)
