# Installation and packaging: the Quorvane tool, the Kelvory_LiDAR shared
# library with its header, a CMake package and a pkg-config file for the
# suite's other tools, and the manual (a man page; plain text on Windows).
# Three components: `tool` (the program and its manual), `runtime` (the
# shared library) and `dev` (what building against the library needs).
# `cpack` packs the same tree: the zip on Windows, and on Linux one Debian
# package per component from a build configured for /usr.

# Configured for /usr, the build installs in Debian's layout: the library in
# the multiarch folder (GNUInstallDirs chooses it itself for a native build
# only), and in each package the compressed manual and changelog Debian
# expects. Other prefixes (/usr/local, $HOME/.local) keep the plain layout.
set(KELVORY_DEBIAN_LAYOUT OFF)
if(NOT WIN32 AND CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(KELVORY_DEBIAN_LAYOUT ON)
  if(CMAKE_CROSSCOMPILING AND CMAKE_LIBRARY_ARCHITECTURE)
    set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH "Object code libraries")
  endif()
endif()
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)
set(KELVORY_TOOL_PACKAGE quorvane)
set(KELVORY_RUNTIME_PACKAGE libkelvory-lidar${PROJECT_VERSION_MAJOR})
set(KELVORY_DEV_PACKAGE libkelvory-lidar-dev)

set(KELVORY_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Kelvory_LiDAR)
set(KELVORY_TEMPLATES ${CMAKE_CURRENT_LIST_DIR})
set(KELVORY_GENERATED ${CMAKE_BINARY_DIR}/install)

install(TARGETS Quorvane
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)

# On Windows the DLL goes beside the executable and the import library to the
# library folder. The development link libKelvory_LiDAR.so is the dev
# component's.
install(TARGETS Kelvory_LiDAR EXPORT Kelvory_LiDARTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)

# find_package(Kelvory_LiDAR) -> imported target Kelvory_LiDAR::Kelvory_LiDAR.
install(EXPORT Kelvory_LiDARTargets
  NAMESPACE Kelvory_LiDAR::
  DESTINATION ${KELVORY_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(
  ${KELVORY_TEMPLATES}/Kelvory_LiDARConfig.cmake.in
  ${KELVORY_GENERATED}/Kelvory_LiDARConfig.cmake
  INSTALL_DESTINATION ${KELVORY_CMAKE_DIR})
write_basic_package_version_file(
  ${KELVORY_GENERATED}/Kelvory_LiDARConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${KELVORY_GENERATED}/Kelvory_LiDARConfig.cmake
  ${KELVORY_GENERATED}/Kelvory_LiDARConfigVersion.cmake
  DESTINATION ${KELVORY_CMAKE_DIR} COMPONENT dev)

# The pkg-config file finds the prefix from its own place, so that one file
# serves `cmake --install --prefix <anywhere>` and the zip. In Debian's layout
# it names /usr itself: pkg-config then recognises the system's folders and
# leaves them out (`pkg-config --cflags --libs Kelvory_LiDAR` gives
# -lKelvory_LiDAR); a copy unpacked into a folder is read with
# PKG_CONFIG_SYSROOT_DIR=<folder>, or --define-variable=prefix=<folder>/usr.
set(KELVORY_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(IS_ABSOLUTE "${KELVORY_PC_DIR}" OR KELVORY_DEBIAN_LAYOUT)
  set(KELVORY_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH KELVORY_PC_UP "/${KELVORY_PC_DIR}" "/")
  string(REGEX REPLACE "/$" "" KELVORY_PC_UP "${KELVORY_PC_UP}")
  set(KELVORY_PC_PREFIX "\${pcfiledir}/${KELVORY_PC_UP}")
endif()
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(KELVORY_PC_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(KELVORY_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
configure_file(${KELVORY_TEMPLATES}/Kelvory_LiDAR.pc.in
  ${KELVORY_GENERATED}/Kelvory_LiDAR.pc @ONLY)
install(FILES ${KELVORY_GENERATED}/Kelvory_LiDAR.pc
  DESTINATION ${KELVORY_PC_DIR} COMPONENT dev)

if(WIN32)
  # Windows has no man: the manual goes along as plain text with CRLF line
  # ends, formatted on the build machine.
  find_program(QUORVANE_GROFF_HOST groff REQUIRED)
  set(QUORVANE_TEXT_MANUAL ${CMAKE_BINARY_DIR}/Quorvane.txt)
  add_custom_command(OUTPUT ${QUORVANE_TEXT_MANUAL}
    COMMAND ${CMAKE_COMMAND} -DGROFF=${QUORVANE_GROFF_HOST}
      -DIN=${PROJECT_SOURCE_DIR}/doc/Quorvane.1 -DOUT=${QUORVANE_TEXT_MANUAL}
      -P ${KELVORY_TEMPLATES}/text_manual.cmake
    DEPENDS ${PROJECT_SOURCE_DIR}/doc/Quorvane.1 ${KELVORY_TEMPLATES}/text_manual.cmake
    COMMENT "Formatting the manual as plain text")
  add_custom_target(text_manual ALL DEPENDS ${QUORVANE_TEXT_MANUAL})
  install(FILES ${QUORVANE_TEXT_MANUAL} DESTINATION doc COMPONENT tool)
elseif(KELVORY_DEBIAN_LAYOUT)
  # The manual and one changelog per package, compressed with no time stamp
  # in them, so that the same sources give the same packages.
  find_program(QUORVANE_GZIP gzip REQUIRED)
  foreach(doc Quorvane.1 changelog)
    add_custom_command(OUTPUT ${KELVORY_GENERATED}/${doc}.gz
      COMMAND ${QUORVANE_GZIP} -9nc ${PROJECT_SOURCE_DIR}/doc/${doc} > ${KELVORY_GENERATED}/${doc}.gz
      DEPENDS ${PROJECT_SOURCE_DIR}/doc/${doc})
  endforeach()
  add_custom_target(debian_docs ALL DEPENDS ${KELVORY_GENERATED}/Quorvane.1.gz
    ${KELVORY_GENERATED}/changelog.gz)
  install(FILES ${KELVORY_GENERATED}/Quorvane.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tool)
  foreach(component tool runtime dev)
    string(TOUPPER ${component} upper)
    install(FILES ${KELVORY_GENERATED}/changelog.gz
      DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${KELVORY_${upper}_PACKAGE} COMPONENT ${component})
  endforeach()
else()
  install(FILES ${PROJECT_SOURCE_DIR}/doc/Quorvane.1
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tool)
endif()

# `cpack` in the build folder: on Windows the zip quorvane-<version>-win64.zip;
# on Linux the three Debian packages, from a build configured for /usr.
set(CPACK_COMPONENTS_ALL tool runtime dev)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quorvane maintainers")
set(CPACK_PACKAGE_CONTACT "Quorvane maintainers <maintainers@quorvane.invalid>")
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME quorvane)
  set(CPACK_PACKAGE_FILE_NAME quorvane-${PROJECT_VERSION}-win64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME ${KELVORY_TOOL_PACKAGE})
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
  set(CPACK_STRIP_FILES ON)
  # The target's architecture, not the build machine's, for a cross build.
  if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR STREQUAL "aarch64")
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
  endif()

  set(CPACK_DEBIAN_TOOL_PACKAGE_NAME ${KELVORY_TOOL_PACKAGE})
  set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_TOOL_DESCRIPTION
"filter LAS point clouds by an attribute range
Quorvane keeps the point records of a LAS file (versions 1.0 to 1.2, point
data formats 0 to 3) whose chosen attribute lies in a closed range, and
writes them unchanged and in input order to a new LAS file whose header
counts and extents it recomputes. It streams files of any size in constant
memory.")

  set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${KELVORY_RUNTIME_PACKAGE})
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
"LAS records and checks of the Kelvory LiDAR Utilities
Kelvory_LiDAR is the shared library of the Kelvory LiDAR Utilities: LAS 1.0
to 1.2 header and point records, input validation, header recomputation,
header defaults, index-carrying quicksorts and argument checks, with C
linkage.")
  # The dynamic linker's cache is brought up to date by a trigger, not by
  # maintainer scripts (which deb_control.cmake takes out of the package).
  file(WRITE ${KELVORY_GENERATED}/triggers "activate-noawait ldconfig\n")
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${KELVORY_GENERATED}/triggers)
  set(CPACK_POST_BUILD_SCRIPTS ${KELVORY_TEMPLATES}/deb_control.cmake)

  set(CPACK_DEBIAN_DEV_PACKAGE_NAME ${KELVORY_DEV_PACKAGE})
  set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${KELVORY_RUNTIME_PACKAGE} (= ${PROJECT_VERSION})")
  set(CPACK_DEBIAN_DEV_DESCRIPTION
"development files of the Kelvory_LiDAR library
The C header, the development link, the CMake package
(find_package(Kelvory_LiDAR)) and the pkg-config file for building the
Kelvory LiDAR Utilities' tools against the Kelvory_LiDAR library.")

  configure_file(${KELVORY_TEMPLATES}/cpack_options.cmake.in
    ${KELVORY_GENERATED}/cpack_options.cmake @ONLY)
  set(CPACK_PROJECT_CONFIG_FILE ${KELVORY_GENERATED}/cpack_options.cmake)
endif()
include(CPack)
