# The Debian package: the program, its menu entry, AppStream file, icons and manual page (their
# install rules are in platform/qt/CMakeLists.txt), and the documentation Debian asks for in
# /usr/share/doc/zumbolo: the licence as a machine-readable copyright file, and a changelog.
include(GNUInstallDirs)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # zumbolo_VERSION_amd64.deb
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZUMBOLO_MAINTAINER}")
# Section x11: Debian's "games" section is for programs in /usr/games.
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
# The libraries it links (Qt 6, GStreamer, xcb) are found by dpkg-shlibdeps; Qt's X11 platform
# plugin comes with them, in libqt6gui6. What the program loads by name is not: the GStreamer
# plugins that play the tracks (playbin and the converters in -base; the MP3 parser and decoder,
# the automatic sink and the PulseAudio sink in -good).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good")
# The menus and messages are Japanese.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-japanese-gothic")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "\
Zumbolo! is a desktop toy: three little figures stand just above the
taskbar and spin like the reels of a slot machine every eight beats. One
spin in N is a hit: then they dance, beat by beat, to a classical piece
(William Tell, Heaven and Hell, Funiculi Funicula, Radetzky March), hop
and slide about, and a celebration ball and a speech balloon pop up.
.
The show, the chance of a hit, the sound and the colour of the figures
are chosen from the tray icon's menu, which is in Japanese.")
# Directories in the package as Debian has them, whatever the builder's umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(zumbolo_doc_dir "${CMAKE_CURRENT_BINARY_DIR}/doc")
file(MAKE_DIRECTORY "${zumbolo_doc_dir}")

# copyright: the MIT licence in Debian's machine-readable format (its name there is "Expat").
file(STRINGS "${CMAKE_SOURCE_DIR}/LICENSE" licence_lines)
list(FILTER licence_lines EXCLUDE REGEX "^(MIT License|Copyright .*)$")
set(licence_text "")
foreach(line IN LISTS licence_lines)
  if(line STREQUAL "")
    string(APPEND licence_text " .\n")
  else()
    string(APPEND licence_text " ${line}\n")
  endif()
endforeach()
string(REGEX REPLACE "^( \\.\n)+" "" licence_text "${licence_text}")
file(STRINGS "${CMAKE_SOURCE_DIR}/LICENSE" copyright_line REGEX "^Copyright ")
string(REGEX REPLACE "^Copyright (\\([cC]\\) )?" "" copyright_holder "${copyright_line}")
file(WRITE "${zumbolo_doc_dir}/copyright"
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Zumbolo!
Source: ${PROJECT_HOMEPAGE_URL}

Files: *
Copyright: ${copyright_holder}
License: Expat

License: Expat
${licence_text}")

# changelog.gz: this version's entry, from the AppStream file's release (date and description).
string(REGEX MATCH "<release version=\"${PROJECT_VERSION}\"[^>]*>[ \n]*<description>(.*)</description>"
       release "${zumbolo_metainfo}")
string(REGEX REPLACE "</description>.*" "" release_notes "${CMAKE_MATCH_1}")
string(REGEX REPLACE "<[^>]*>" " " release_notes "${release_notes}")
string(REGEX REPLACE "[ \n\t]+" " " release_notes "${release_notes}")
string(STRIP "${release_notes}" release_notes)
string(REPLACE " " ";" words "${release_notes}")
set(notes "  *")
set(column 3)
foreach(word IN LISTS words)
  string(LENGTH "${word}" length)
  math(EXPR next "${column} + 1 + ${length}")
  if(next GREATER 78)
    string(APPEND notes "\n    ${word}")
    math(EXPR column "4 + ${length}")
  else()
    string(APPEND notes " ${word}")
    set(column ${next})
  endif()
endforeach()
execute_process(COMMAND date -u -R -d "${ZUMBOLO_RELEASE_DATE} 12:00"
                OUTPUT_VARIABLE release_time OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
file(WRITE "${zumbolo_doc_dir}/changelog"
"zumbolo (${PROJECT_VERSION}) stable; urgency=medium

${notes}

 -- ${ZUMBOLO_MAINTAINER}  ${release_time}
")
add_custom_command(OUTPUT "${zumbolo_doc_dir}/changelog.gz"
  COMMAND gzip -9 -n -c "${zumbolo_doc_dir}/changelog" > "${zumbolo_doc_dir}/changelog.gz"
  DEPENDS "${zumbolo_doc_dir}/changelog" VERBATIM)
add_custom_target(zumbolo_changelog ALL DEPENDS "${zumbolo_doc_dir}/changelog.gz")
install(FILES "${zumbolo_doc_dir}/copyright" "${zumbolo_doc_dir}/changelog.gz"
        DESTINATION "${CMAKE_INSTALL_DOCDIR}")
