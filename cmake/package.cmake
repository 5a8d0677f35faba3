# SPDX-License-Identifier: ISC
# `make deb`: a Debian package of the bundle and the command, built by CPack
# from a build configured with the /usr prefix.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvanic)
set(CPACK_PACKAGE_VENDOR "tolvanic")
set(CPACK_PACKAGE_CONTACT "tolvanic developers <dev@tolvanic.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "LV2 level meter: falling-peak level, peak hold and RMS")
# CPack puts the summary first, as the synopsis; this is the long part.
set(CPACK_PACKAGE_DESCRIPTION
  "LV2 analyser plug-ins that report, per channel, a falling-peak level
(15 dB per second), a peak hold with a reset button and an RMS level:
tolvanic, which only observes its one input; tolvanic inline, which passes
its input on unchanged, for mono DAW tracks; and tolvanic stereo, which
meters and passes on two channels, for stereo tracks and buses. Also
tolvanic-meter, a command that meters audio files with the plug-in.")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Library dependencies (lilv, libsndfile, libstdc++) come from the binaries
# themselves; gnuplot only draws --plot.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gnuplot-nox | gnuplot")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "jalv")
include(CPack)

# What Debian's policy asks of every package: a machine-readable copyright
# file and a compressed changelog in its documentation folder. `make deb`
# turns this on; other installs leave them out.
option(TOLVANIC_DEB_DOCS "Install the Debian package's copyright and changelog" OFF)
if(TOLVANIC_DEB_DOCS)
  set(changelog ${CMAKE_BINARY_DIR}/changelog.gz)
  add_custom_command(OUTPUT ${changelog}
    COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/deb/changelog > ${changelog}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/deb/changelog)
  add_custom_target(deb_changelog ALL DEPENDS ${changelog})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/deb/copyright ${changelog}
    DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()
