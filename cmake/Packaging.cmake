# What an installed system expects besides the programs: manual pages made
# from the programs' own --help, the AppStream metadata, the bash completion,
# the changelog and copyright; and CPack's Debian package of all of it.
# scripts/package builds the package with Debian's build flags.

set(_packaging "${PROJECT_SOURCE_DIR}/packaging")
set(_man "${CMAKE_BINARY_DIR}/man")
set(_doc "${CMAKE_INSTALL_DATADIR}/doc/mirelo-updater")

# The pages are made again whenever their program is.
set(_pages "")
function(mirelo_man_page target whatis)
  set(page "${_man}/${target}.1")
  add_custom_command(OUTPUT "${page}.gz"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${_man}"
    COMMAND bash "${_packaging}/help-to-man" "${page}" "$<TARGET_FILE:${target}>" "${whatis}" ${ARGN}
    COMMAND gzip -9nf "${page}"
    DEPENDS ${target} "${_packaging}/help-to-man"
    COMMENT "Manual page ${target}(1) from its --help"
    VERBATIM)
  install(FILES "${page}.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
  set(_pages ${_pages} "${page}.gz" PARENT_SCOPE)
endfunction()

mirelo_man_page(mirelo-updater-cli "send firmware updates to a MIDI instrument from the command line"
  mirelo-updater)
if(MIRELO_BUILD_APP)
  mirelo_man_page(mirelo-updater "send a firmware update to a MIDI instrument from a window" mirelo-updater-cli)
  install(FILES "${_packaging}/mirelo-updater.metainfo.xml" DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
endif()

add_custom_command(OUTPUT "${CMAKE_BINARY_DIR}/changelog.gz"
  COMMAND gzip -9nc "${_packaging}/changelog" > "${CMAKE_BINARY_DIR}/changelog.gz"
  DEPENDS "${_packaging}/changelog")
add_custom_target(mirelo_package_files ALL DEPENDS ${_pages} "${CMAKE_BINARY_DIR}/changelog.gz")
install(FILES "${CMAKE_BINARY_DIR}/changelog.gz" "${_packaging}/copyright" DESTINATION "${_doc}")

install(FILES "${_packaging}/mirelo-updater-cli.bash"
  DESTINATION "${CMAKE_INSTALL_DATADIR}/bash-completion/completions" RENAME mirelo-updater-cli)

# The Debian package. Its version is the project's; packaging/changelog and the
# metainfo's release must name it too (a test checks that they do).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mirelo-updater)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "mirelo updater developers <developers@mirelo.example>")
# No Homepage field: the project has no public page yet, and a field must
# not name one that cannot be reached.
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "send firmware updates to a MIDI instrument
mirelo updater writes new firmware into a MIDI instrument. The firmware ships
with it as a Standard MIDI File whose System Exclusive messages carry the
update; the file's tempo map fixes when each message is due.

The window sends the bundled update to the MIDI output you pick, with a
progress bar. mirelo-updater-cli does the same without a display, lists the
MIDI destinations, and inspects and makes update files. Without MIDI
hardware, both can send to a capture file instead.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(MIRELO_BUILD_APP)
  # The window carries its own translations; Qt's, for its standard buttons,
  # come from Debian's package of them.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)
  # The window's icon is an SVG, which Qt draws through the SVG plugins; the
  # program does not link them, so the shared-library scan cannot find them.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS libqt6svg6)
endif()
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
