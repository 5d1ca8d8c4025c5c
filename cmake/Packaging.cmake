# Installation and the Debian package (./station package runs cpack).
# Installs the program, its icons, the menu entry, the AppStream data, a man
# page made from the program's own --help, and the package's documents.
include(GNUInstallDirs)

set(STATION_APP_ID org.kqvxzt.photostation)
# The release named by the project's version, in seconds since 1970: the date
# in the AppStream data, the package's changelog and the man page.
set(STATION_RELEASE_EPOCH 1796774400)
set(ENV{SOURCE_DATE_EPOCH} ${STATION_RELEASE_EPOCH})
string(TIMESTAMP STATION_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP STATION_RELEASE_DATE_RFC2822 "%a, %d %b %Y %H:%M:%S +0000" UTC)
unset(ENV{SOURCE_DATE_EPOCH})
set(STATION_PACKAGE_MAINTAINER "Photo station maintainers <maintainers@users.noreply.c-seed-f50cd78b.example>"
  CACHE STRING "Maintainer of the Debian package: Name <address>")

set(packaging_src ${PROJECT_SOURCE_DIR}/packaging)
set(packaging_bin ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${packaging_bin})

install(TARGETS photostation RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A program in the folder it is installed to keeps its photos under the
# user's Pictures folder, never beside itself (src/common/programpaths.cpp).
set_property(SOURCE ${PROJECT_SOURCE_DIR}/src/common/programpaths.cpp DIRECTORY ${PROJECT_SOURCE_DIR}/src/common
  APPEND PROPERTY COMPILE_DEFINITIONS STATION_INSTALL_BINDIR="${CMAKE_INSTALL_FULL_BINDIR}")
# The modules the program loads (src/shell/CMakeLists.txt): shared objects,
# read-only like any library.
get_property(station_modules GLOBAL PROPERTY STATION_MODULES)
install(TARGETS ${station_modules} LIBRARY DESTINATION ${STATION_MODULE_INSTALL_DIR}
  PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
# Relocations are resolved at start and then made read-only (Debian's hardening).
target_link_options(photostation PRIVATE LINKER:-z,relro LINKER:-z,now)

foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${packaging_src}/icons/photostation-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME photostation.png)
endforeach()
install(FILES ${packaging_src}/icons/photostation.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${packaging_src}/${STATION_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

configure_file(${packaging_src}/${STATION_APP_ID}.metainfo.xml.in ${packaging_bin}/${STATION_APP_ID}.metainfo.xml @ONLY)
install(FILES ${packaging_bin}/${STATION_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Debian wants documents and man pages compressed without a time stamp.
find_program(GZIP_PROGRAM gzip REQUIRED)
configure_file(${packaging_src}/changelog.in ${packaging_bin}/changelog @ONLY)
add_custom_command(OUTPUT ${packaging_bin}/changelog.gz
  COMMAND ${GZIP_PROGRAM} -9nf -k changelog
  DEPENDS ${packaging_bin}/changelog
  WORKING_DIRECTORY ${packaging_bin} VERBATIM)

# The man page is the program's --help and --version output, dressed by
# help2man with the sections in photostation.h2m: one text for both.
find_program(HELP2MAN_PROGRAM help2man)
set(packaging_outputs ${packaging_bin}/changelog.gz)
if(HELP2MAN_PROGRAM)
  add_custom_command(OUTPUT ${packaging_bin}/photostation.1.gz
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${STATION_RELEASE_EPOCH} QT_QPA_PLATFORM=offscreen
      ${HELP2MAN_PROGRAM} --no-info --section=1
      "--name=student identity photos from a roster workbook and a camera"
      --include=${packaging_src}/photostation.h2m --output=photostation.1 $<TARGET_FILE:photostation>
    COMMAND ${GZIP_PROGRAM} -9nf photostation.1
    DEPENDS photostation ${packaging_src}/photostation.h2m
    WORKING_DIRECTORY ${packaging_bin} VERBATIM)
  list(APPEND packaging_outputs ${packaging_bin}/photostation.1.gz)
  install(FILES ${packaging_bin}/photostation.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(WARNING "help2man not found: the installed program has no man page")
endif()
add_custom_target(packaging_files ALL DEPENDS ${packaging_outputs})

set(docdir ${CMAKE_INSTALL_DATADIR}/doc/photostation)
install(FILES ${packaging_src}/copyright ${packaging_bin}/changelog.gz DESTINATION ${docdir})

# The Debian package. Library dependencies come from dpkg-shlibdeps; listed by
# hand are only what the program loads at run time without linking it: the
# platform plugins that open a window, the face detector's data (OpenCV's
# cascades and dlib's landmark model, read by path: tests/packaging checks
# every such path against these), fonts for the Chinese texts and Qt's own
# Chinese translations.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME photostation)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${STATION_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "identity photos of a school's students")
# CPack puts the summary first and indents this below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "The operator drops the roster workbook (.xls or .xlsx) on the list, switches
the camera preview on and works down the list: for each student one click
cuts the camera picture inside the viewfinder frame, stamps the name, saves a
JPEG of the chosen size named from the roster, marks the student as
photographed and moves on to the next one, whose name can be announced aloud.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, opencv-data, libdlib-data")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-arphic-uming, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
# cpack packs what the build made; it does not build the whole tree first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(CPack)

if(STATION_BUILD_TESTS)
  add_subdirectory(tests/packaging)
endif()
