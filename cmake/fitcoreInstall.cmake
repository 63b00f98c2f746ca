# fitcoreInstall.cmake - what `cmake --install` puts where: the programs and
# the front-end in bin/, the library in lib/, its public headers in
# include/fitcore/, a CMake package and a pkg-config file for C++ users, the
# man pages, the programs' bash completion and the example data files.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(FITCORE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/fitcore)
set(FITCORE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/fitcore)
set(FITCORE_CMAKE_TEMPLATES ${CMAKE_CURRENT_LIST_DIR})

# ---- the library and its headers -------------------------------------------

# Users write #include <fitcore/pcpfile.h>: the public headers live in
# include/fitcore/ and include each other that way, so the exported include
# directory is include/ and no header is reachable by a bare name. The
# library's own headers beside its sources are never installed.
install(TARGETS fitcore EXPORT fitcoreTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/fitcore
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# ---- CMake package: find_package(fitcore) gives fitcore::fitcore -----------

install(EXPORT fitcoreTargets
  NAMESPACE fitcore::
  FILE fitcoreTargets.cmake
  DESTINATION ${FITCORE_CMAKE_DIR})

# fitcoreConfig.cmake itself is written once the library's link dependencies
# are final (fitcore_finish_install below).
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/fitcoreConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/fitcoreConfig.cmake
  ${PROJECT_BINARY_DIR}/fitcoreConfigVersion.cmake
  DESTINATION ${FITCORE_CMAKE_DIR})

# ---- pkg-config ------------------------------------------------------------

# The .pc file finds the prefix from its own place, so an installed tree can
# be moved (a scratch prefix, an unpacked package) and still be used.
file(RELATIVE_PATH FITCORE_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" FITCORE_PC_TO_PREFIX "${FITCORE_PC_TO_PREFIX}")
install(FILES ${PROJECT_BINARY_DIR}/fitcore.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# ---- man pages, gzipped as Debian keeps them, installed with their programs

set(FITCORE_MAN_DIR ${PROJECT_SOURCE_DIR}/docs/man)
set(FITCORE_MAN_GZ_DIR ${PROJECT_BINARY_DIR}/man)
set(fitcore_man_gz)
foreach(page cadrafit.1 veldafit.1 sorrafit.1 modelfit.1 pgnuplot.exe.1)
  add_custom_command(
    OUTPUT ${FITCORE_MAN_GZ_DIR}/${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${FITCORE_MAN_GZ_DIR}
    COMMAND gzip -9 -n -c ${FITCORE_MAN_DIR}/${page} > ${FITCORE_MAN_GZ_DIR}/${page}.gz
    DEPENDS ${FITCORE_MAN_DIR}/${page}
    COMMENT "Compressing man page ${page}"
    VERBATIM)
  list(APPEND fitcore_man_gz ${FITCORE_MAN_GZ_DIR}/${page}.gz)
endforeach()
add_custom_target(fitcore_man_pages ALL DEPENDS ${fitcore_man_gz})

# ---- example data and documentation ------------------------------------------

install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/
  DESTINATION ${FITCORE_DOC_DIR}/examples
  FILES_MATCHING PATTERN "*.pcp" PATTERN "*.csv" PATTERN "*.md")
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${FITCORE_DOC_DIR})
if(EXISTS ${PROJECT_SOURCE_DIR}/docs/pgnuplot.md)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/pgnuplot.md DESTINATION ${FITCORE_DOC_DIR})
endif()

# ---- programs and what depends on the final targets -------------------------

# The programs and the front-end are defined in their own directories, some of
# which may be added after this file is read; so these rules are made once the
# whole top-level directory has been processed, for every program that exists.
# (The front-end's target may be called pgnuplot.exe or pgnuplot.)
function(fitcore_finish_install)
  foreach(program cadrafit veldafit sorrafit modelfit pgnuplot.exe)
    set(target ${program})
    if(program STREQUAL "pgnuplot.exe" AND NOT TARGET pgnuplot.exe)
      set(target pgnuplot)
    endif()
    if(TARGET ${target})
      install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
      install(FILES ${FITCORE_MAN_GZ_DIR}/${program}.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
      # bash-completion loads a program's completion from a file of its name.
      if(NOT program STREQUAL "pgnuplot.exe")
        install(FILES ${PROJECT_SOURCE_DIR}/docs/completion/fitcore.bash
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME ${program})
      endif()
    endif()
  endforeach()

  # A static fitcore hands its own link dependencies on to its users.
  get_target_property(fitcore_links fitcore INTERFACE_LINK_LIBRARIES)
  set(FITCORE_NEEDS_THREADS OFF)
  set(FITCORE_PC_LIBS_EXTRA "")
  if("Threads::Threads" IN_LIST fitcore_links)
    set(FITCORE_NEEDS_THREADS ON)
    set(FITCORE_PC_LIBS_EXTRA " -pthread")
  endif()
  configure_package_config_file(
    ${FITCORE_CMAKE_TEMPLATES}/fitcoreConfig.cmake.in
    ${PROJECT_BINARY_DIR}/fitcoreConfig.cmake
    INSTALL_DESTINATION ${FITCORE_CMAKE_DIR})
  configure_file(${FITCORE_CMAKE_TEMPLATES}/fitcore.pc.in
    ${PROJECT_BINARY_DIR}/fitcore.pc @ONLY)
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL fitcore_finish_install)
