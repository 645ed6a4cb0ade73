# The Debian package as a user gets it: CPack makes it from this build, it is
# unpacked into a folder that is not its install prefix (with a space in the
# name), and its own CLI packs an update file and sends it as the bundled one.
# The bundled file is replaced by the short one first: the send must find the
# package's resources beside the program, and a send of the build tree's
# bundled file (242 messages) would show. Without them it must refuse.
#   CPACK_CONFIG  the build's CPackConfig.cmake
#   VERSION       the project's version
#   HAVE_APP      whether the window program is part of the build
#   SOURCE_DIR    the project's sources (changelog and metainfo)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN}\nexit status ${rc}\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

# Every place that names the release agrees with the project's version.
file(STRINGS "${SOURCE_DIR}/packaging/changelog" changelog_top LIMIT_COUNT 1)
if(NOT changelog_top MATCHES "^mirelo-updater \\(${VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog's latest entry is not version ${VERSION}: ${changelog_top}")
endif()
file(READ "${SOURCE_DIR}/packaging/mirelo-updater.metainfo.xml" metainfo)
if(NOT metainfo MATCHES "<releases>[ \n]*<release version=\"${VERSION}\"")
  message(FATAL_ERROR "the metainfo's latest release is not version ${VERSION}")
endif()

# Outside the build tree: a program inside it may fall back to the tree's resources.
if(DEFINED ENV{TMPDIR} AND IS_DIRECTORY "$ENV{TMPDIR}")
  set(WORK "$ENV{TMPDIR}")
else()
  set(WORK /tmp)
endif()
string(RANDOM LENGTH 8 suffix)
set(WORK "${WORK}/mirelo-package-test-${suffix}")
file(REMOVE_RECURSE "${WORK}")
# Uncompressed: xz takes most of cpack's time and is not what is tested here.
run(${CMAKE_COMMAND} -E env --unset=DESTDIR
    cpack -G DEB --config "${CPACK_CONFIG}" -B "${WORK}/deb" -D CPACK_DEBIAN_COMPRESSION_TYPE=none)
file(GLOB debs "${WORK}/deb/mirelo-updater_${VERSION}_*.deb")
list(LENGTH debs count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one mirelo-updater_${VERSION}_*.deb in ${WORK}/deb, found: ${debs}")
endif()

set(root "${WORK}/any folder")
run(dpkg-deb -x "${debs}" "${root}")
set(expected
  usr/bin/mirelo-updater-cli
  "usr/share/mirelo-updater/mirelo updater.dat"
  usr/share/mirelo-updater/OSErrors.json
  usr/share/mirelo-updater/AudioErrors.json
  usr/share/man/man1/mirelo-updater-cli.1.gz
  usr/share/bash-completion/completions/mirelo-updater-cli
  usr/share/doc/mirelo-updater/changelog.gz
  usr/share/doc/mirelo-updater/copyright)
if(HAVE_APP)
  list(APPEND expected
    usr/share/mirelo-updater/OSErrors_de.json
    usr/share/mirelo-updater/AudioErrors_de.json
    usr/bin/mirelo-updater
    usr/share/man/man1/mirelo-updater.1.gz
    usr/share/applications/mirelo-updater.desktop
    usr/share/metainfo/mirelo-updater.metainfo.xml
    usr/share/icons/hicolor/scalable/apps/mirelo-updater.svg)
endif()
foreach(path IN LISTS expected)
  if(NOT EXISTS "${root}/${path}")
    message(FATAL_ERROR "the package has no ${path}")
  endif()
endforeach()

# The German window: its words are built into the program (the translation's
# resource name, which Qt stores in UTF-16), its error tables are installed
# above, and Qt's own translation for its standard buttons comes with the
# package it recommends.
if(HAVE_APP)
  set(window "${root}/usr/bin/mirelo-updater")
  file(READ "${window}" program HEX)
  set(name "")
  foreach(char m i r e l o - u p d a t e r _ d e . q m)
    string(HEX "${char}" code)
    string(APPEND name "00${code}")
  endforeach()
  string(FIND "${program}" "${name}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the package's window carries no German translation (mirelo-updater_de.qm)")
  endif()
  run(dpkg-deb -f "${debs}" Recommends)
  if(NOT out MATCHES "(^|[ ,])qt6-translations-l10n($|[ ,\n])")
    message(FATAL_ERROR "the package does not recommend qt6-translations-l10n (Qt's German buttons): ${out}")
  endif()
  run(dpkg-deb -f "${debs}" Depends)
  if(NOT out MATCHES "(^|[ ,])libqt6svg6($|[ ,\n(])")
    message(FATAL_ERROR "the package does not depend on libqt6svg6 (the plugin that draws the window's icon): ${out}")
  endif()
endif()

# Twenty messages of 4 to 80 bytes, one every millisecond.
set(syx "")
set(total 0)
foreach(i RANGE 1 20)
  math(EXPR size "4 * ${i}")
  math(EXPR total "${total} + ${size}")
  string(ASCII 240 message)
  foreach(j RANGE 3 ${size})
    math(EXPR byte "(${i} * 7 + ${j}) % 127 + 1")
    string(ASCII ${byte} data)
    string(APPEND message "${data}")
  endforeach()
  string(ASCII 247 end)
  string(APPEND syx "${message}${end}")
endforeach()
file(WRITE "${WORK}/short.syx" "${syx}")

set(cli "${root}/usr/bin/mirelo-updater-cli")
# The record of these sends goes to the work folder, not the user's.
set(environment ${CMAKE_COMMAND} -E env --unset=MIRELO_RESOURCES MIRELO_MIDI_BACKEND=virtual
  "XDG_STATE_HOME=${WORK}/state")
run(${environment} "${cli}" pack --interval 1 --out "${root}/usr/share/mirelo-updater/mirelo updater.dat"
    "${WORK}/short.syx")
run(${environment} "${cli}" send --capture "${WORK}/capture.syx")
file(SIZE "${WORK}/capture.syx" captured)
file(STRINGS "${WORK}/capture.syx.csv" log)
list(LENGTH log rows)
if(NOT captured EQUAL total OR NOT rows EQUAL 21)
  message(FATAL_ERROR "the unpacked CLI did not send the package's update file (20 messages, ${total} bytes): "
                      "the capture holds ${captured} bytes, its log ${rows} lines\n${out}")
endif()

# Without its resources the unpacked program refuses, rather than sending
# whatever update file the build tree holds.
file(RENAME "${root}/usr/share/mirelo-updater" "${WORK}/moved")
execute_process(COMMAND ${environment} "${cli}" send --capture "${WORK}/none.syx"
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 2 OR EXISTS "${WORK}/none.syx")
  message(FATAL_ERROR "without its resources the unpacked CLI ended with ${rc}:\n${out}\n${err}")
endif()
file(REMOVE_RECURSE "${WORK}")
