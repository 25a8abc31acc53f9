# The Debian package: `cpack -G DEB` in a release build tree (scripts/package.sh
# builds what it needs first) makes vocerra_<version>_amd64.deb, installed
# under /usr, its dependencies worked out by dpkg-shlibdeps from the libraries
# the programs link.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vocerra)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Vocerra developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop answering machine for voice modems and SIP")
set(CPACK_PACKAGE_DESCRIPTION
"Vocerra watches a telephone line (a voice modem or a SIP account), answers
after the configured number of rings, plays a greeting, records the
caller's message into a WAVE file and files the call in its log. It blocks
unwanted callers, mails new-call notices, and lets the owner listen at the
computer or call in and retrieve messages by touch tone.

It runs with a window and a tray icon on the desktop, or without windows
as a systemd user service, whose settings `vocerra config` changes from a
shell.")
set(CPACK_PACKAGE_CONTACT "The Vocerra developers <vocerra@example.org>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads the SVG icons and the display's platform as plugins, which no
# library dependency names; vocerra-call speaks and converts what a test
# caller says with espeak-ng and sox.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-qpa-plugins, espeak-ng, sox")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# Installed as `cmake --install --prefix /usr` would, so the user unit's
# path to the program is the one the package puts it at.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
include(CPack)
