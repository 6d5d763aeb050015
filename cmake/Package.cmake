# The Debian package, made by `cpack` in a build folder (scripts/package). Its library
# dependencies come from the binaries (dpkg-shlibdeps); what the program only opens or runs when
# present is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pulsedeck)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Dorvettin)
set(CPACK_PACKAGE_CONTACT "Pulsedeck maintainers <maintainers@pulsedeck.dorvettin.net>")
# The first packaging of this version: Debian revisions count changes to the packaging alone.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(PULSEDECK_PACKAGE_VERSION ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "system monitor in a status bar at the top of the screen")
set(CPACK_PACKAGE_DESCRIPTION [[Pulsedeck shows live figures for memory, fans, network, temperature,
processor and graphics load and attached devices in a small status bar at
the top right of the screen. A click opens a card with a one-minute chart
for each module, and the strip can be pulled out into a floating bar. It
reads the machine through procfs, sysfs and rtnetlink once a second, at
almost no cost.]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Its text needs a font: Inter, else DejaVu Sans.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-inter | fonts-dejavu-core")
# Links and feedback open through xdg-utils; update checks load libcurl in a child process.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-inter, xdg-utils, libcurl4")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "fonts-noto-cjk")

# What Debian's policy asks of every package's documents: the copyright in the machine-readable
# form and the packaging's changelog, compressed.
set(changelog ${CMAKE_BINARY_DIR}/doc/changelog.Debian)
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.Debian.in ${changelog} @ONLY)
add_custom_command(OUTPUT ${changelog}.gz
  COMMAND gzip -9nkf ${changelog}
  DEPENDS ${changelog}
  COMMENT "Compressing the package's changelog")
add_custom_target(pulsedeck_changelog ALL DEPENDS ${changelog}.gz)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${changelog}.gz DESTINATION share/doc/pulsedeck)
include(CPack)
