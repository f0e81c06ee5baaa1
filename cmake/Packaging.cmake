# The Debian package, built with CPack (bash scripts/package.sh). Library
# dependencies are worked out from the binaries by dpkg-shlibdeps; what the
# programs load without linking is listed by hand: Qt's platform plugins, the
# GStreamer plugins that play the rendered movie, and the fonts the text
# watermark draws with: DejaVu (also what draws a family that is not
# installed), Liberation (the metric twins that fontconfig gives for Arial,
# Helvetica and Times New Roman) and the GNU FreeFont families.

set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/tintreel)
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  COMMAND gzip -9nf -k ${CMAKE_BINARY_DIR}/packaging/changelog
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tintreel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Tintreel developers <developers@tintreel.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "video colour editor with effects and watermarks")
set(CPACK_PACKAGE_DESCRIPTION
    "Tintreel applies colour adjustments, effects, geometric transforms, a text\n"
    "watermark and a picture watermark to videos. Every change shows at once on\n"
    "a still frame, and a render runs the whole movie through the enabled effects\n"
    "with progress and cancel. tintreel-render does the same without a window,\n"
    "for scripts and batches.")
list(JOIN CPACK_PACKAGE_DESCRIPTION "" CPACK_PACKAGE_DESCRIPTION)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://tintreel.org/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-plugins-bad, gstreamer1.0-libav, fonts-dejavu-core, fonts-liberation2, fonts-freefont-ttf, fontconfig")
include(CPack)
