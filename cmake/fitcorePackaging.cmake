# fitcorePackaging.cmake - the Debian package: `cpack -G DEB` in the build
# directory makes fitcore_<version>_<arch>.deb from what `cmake --install`
# puts into the tree, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME fitcore)
set(CPACK_PACKAGE_VENDOR "fitcore developers")
set(CPACK_PACKAGE_CONTACT "fitcore developers <fitcore@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "curve fitting of measured x/y data, plotted with gnuplot")
set(CPACK_PACKAGE_DESCRIPTION
  "Three console programs fit a curve to measured x/y data read from PCP or CSV\n"
  "files and show the points and the curve in gnuplot: cadrafit (least-squares\n"
  "polynomial of order 2 to 9), veldafit (straight line with standard errors)\n"
  "and sorrafit (the same line with error statistics weighted by per-point\n"
  "uncertainties). The package also holds the fitcore library and headers for\n"
  "C++ programs, the gnuplot front-end pgnuplot.exe, man pages and examples.")
string(CONCAT CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Any flavour of gnuplot will do; the console one is the lightest.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "gnuplot-nox | gnuplot-qt | gnuplot-x11 | gnuplot")
# The C and C++ runtimes the programs were linked against (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
