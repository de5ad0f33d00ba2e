# Installation and packaging: the Quorvane tool, the Kelvory_LiDAR shared
# library with its header, a CMake package and a pkg-config file for the
# suite's other tools, and the manual (a man page; plain text on Windows).
# `cpack` packs the same tree.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KELVORY_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Kelvory_LiDAR)
set(KELVORY_TEMPLATES ${CMAKE_CURRENT_LIST_DIR})
set(KELVORY_GENERATED ${CMAKE_BINARY_DIR}/install)

install(TARGETS Quorvane
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# On Windows the DLL goes beside the executable and the import library to the
# library folder.
install(TARGETS Kelvory_LiDAR EXPORT Kelvory_LiDARTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# find_package(Kelvory_LiDAR) -> imported target Kelvory_LiDAR::Kelvory_LiDAR.
install(EXPORT Kelvory_LiDARTargets
  NAMESPACE Kelvory_LiDAR::
  DESTINATION ${KELVORY_CMAKE_DIR})
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
  DESTINATION ${KELVORY_CMAKE_DIR})

# The pkg-config file finds the prefix from its own place, so one file serves
# `cmake --install --prefix <anywhere>` and the Debian package alike.
set(KELVORY_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(IS_ABSOLUTE "${KELVORY_PC_DIR}")
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
  DESTINATION ${KELVORY_PC_DIR})

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
  install(FILES ${QUORVANE_TEXT_MANUAL} DESTINATION doc)
else()
  install(FILES ${PROJECT_SOURCE_DIR}/doc/Quorvane.1
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# Debian package: `cpack -G DEB` in the build folder; from a Windows build,
# the zip quorvane-<version>-win64.zip (`cpack -G ZIP`).
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME quorvane-${PROJECT_VERSION}-win64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
endif()
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quorvane maintainers")
set(CPACK_PACKAGE_CONTACT "Quorvane maintainers <maintainers@quorvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "LAS point filter by attribute range, with the Kelvory_LiDAR library")
set(CPACK_PACKAGE_DESCRIPTION
  "Quorvane keeps the point records of a LAS file (versions 1.0 to 1.2, point data formats 0 to 3) whose chosen attribute lies in a closed range and writes them, unchanged and in input order, to a new LAS file with a recomputed header. The package also holds the Kelvory_LiDAR shared library with its C header, CMake package and pkg-config file, so that other tools can build on it.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
include(CPack)
