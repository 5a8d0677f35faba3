# SPDX-License-Identifier: ISC
# `make deb`: a Debian package of the bundle and the command, built by CPack
# from a build configured with the /usr prefix.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvanic)
set(CPACK_PACKAGE_VENDOR "tolvanic")
set(CPACK_PACKAGE_CONTACT "tolvanic developers <dev@tolvanic.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "LV2 level meter: falling-peak level, peak hold and RMS")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "LV2 level meter: falling-peak level, peak hold and RMS\n\
 A single-channel LV2 analyser plug-in that reports a falling-peak level\n\
 (15 dB per second), a peak hold with a reset button and an RMS level, and\n\
 tolvanic-meter, a command that meters audio files with it.")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Library dependencies (lilv, libsndfile, libstdc++) come from the binaries
# themselves; gnuplot only draws --plot.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gnuplot-nox | gnuplot")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "jalv")
include(CPack)
