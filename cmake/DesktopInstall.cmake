# What a desktop expects of an installed application: the desktop entry, the
# AppStream metainfo, the icon in the hicolor theme, and a man page for each
# program. Each file has one source under resources/; the version is filled
# in from the project.

set(TINTREEL_APP_ID org.tintreel.Tintreel)
set(desktop_dir ${CMAKE_SOURCE_DIR}/resources/desktop)

configure_file(${desktop_dir}/${TINTREEL_APP_ID}.metainfo.xml
               ${CMAKE_BINARY_DIR}/share/metainfo/${TINTREEL_APP_ID}.metainfo.xml @ONLY)
install(FILES ${desktop_dir}/${TINTREEL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_BINARY_DIR}/share/metainfo/${TINTREEL_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(icons_dir ${CMAKE_SOURCE_DIR}/resources/icons)
install(FILES ${icons_dir}/${TINTREEL_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(DIRECTORY ${icons_dir}/hicolor/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)

# Man pages, compressed as Debian installs them. The renderer's page is made
# from its own --help, so its options are described in one place only.
find_program(HELP2MAN help2man REQUIRED)
set(man_dir ${CMAKE_BINARY_DIR}/share/man/man1)
configure_file(${CMAKE_SOURCE_DIR}/resources/man/tintreel.1 ${man_dir}/tintreel.1 @ONLY)
add_custom_command(
  OUTPUT ${man_dir}/tintreel.1.gz
  COMMAND gzip -9nf -k ${man_dir}/tintreel.1
  DEPENDS ${man_dir}/tintreel.1
  VERBATIM)
add_custom_command(
  OUTPUT ${man_dir}/tintreel-render.1.gz
  COMMAND ${HELP2MAN} --no-info --no-discard-stderr --section=1
          "--name=render videos through a Tintreel look without a window"
          --output=${man_dir}/tintreel-render.1 $<TARGET_FILE:tintreel-render>
  COMMAND gzip -9nf ${man_dir}/tintreel-render.1
  DEPENDS tintreel-render
  VERBATIM)
add_custom_target(man_pages ALL DEPENDS ${man_dir}/tintreel.1.gz ${man_dir}/tintreel-render.1.gz)
install(FILES ${man_dir}/tintreel.1.gz ${man_dir}/tintreel-render.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
