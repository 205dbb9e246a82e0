# The Debian package, made from a built tree with `cpack -G DEB`: sornafex_<version>_<arch>.deb,
# holding what `cmake --install` installs, under /usr.
set(SORNAFEX_MAINTAINER "Sornafex developers <sornafex-dev@lists.sornafex.org>"
    CACHE STRING "The Debian package's Maintainer field")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${SORNAFEX_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Sornafex developers")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "monitor for a skin-response sensor on a serial port")
# The first line continues the summary; blank lines become Debian's paragraph breaks.
set(CPACK_PACKAGE_DESCRIPTION [=[
Sornafex follows a one-channel skin-response sensor, an oscillator used as a
lie-detection aid, that toggles the DCD (carrier detect) line of a serial port.
It counts the toggles of each window of a little more than one second, turns
them into a frequency in hertz and draws the last 256 values as a strip chart.
Recordings, chart pictures (BMP, WMF), clipboard and printing. French interface.

Sornafex suit un capteur de réponse cutanée à une voie, un oscillateur utilisé
comme aide à la détection du mensonge, qui fait basculer la ligne DCD d'un port
série. Il compte les basculements de chaque fenêtre d'un peu plus d'une seconde,
en déduit une fréquence en hertz et trace les 256 dernières valeurs.
Enregistrements, images du graphe (BMP, WMF), presse-papiers et impression.]=])

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${SORNAFEX_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The libraries the program links, found by dpkg-shlibdeps; then what it needs at run time
# without linking it: the platform plugin that shows a window at all, the French texts of Qt's
# dialogs, the fonts metric-compatible with Arial, and xdg-open for the readme.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, qt6-translations-l10n, fonts-liberation, xdg-utils")

include(CPack)
