# fitcoreWindowsPackage.cmake - the zip for Windows users: `cpack -G ZIP` in a
# Windows build directory makes fitcore-<version>-windows-x64.zip with the
# programs and the front-end side by side, the example data files and a README
# (install gnuplot, unzip, run).
install(TARGETS veldafit cadrafit sorrafit modelfit pgnuplot RUNTIME DESTINATION .)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/
  DESTINATION examples
  FILES_MATCHING PATTERN "*.pcp" PATTERN "*.csv" PATTERN "*.md")
# With CR LF line ends, as every Windows editor shows them.
configure_file(${PROJECT_SOURCE_DIR}/docs/windows/README.txt ${CMAKE_BINARY_DIR}/README.txt
  @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/README.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME fitcore)
set(CPACK_PACKAGE_VENDOR "fitcore developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME fitcore-${PROJECT_VERSION}-windows-x64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)

include(CPack)
