# Packs a short update file from a real firmware head and sends it to a
# capture file, both under valgrind: any memory error or leak fails the test.
# Arguments: -DCLI=<mirelo-updater-cli> -DVALGRIND=<valgrind or empty>
#            -DSYX=<input .syx> -DWORK=<scratch directory>
if(NOT VALGRIND)
  message("SKIP: valgrind is not installed (scripts/bootstrap installs it); the memory check of send did not run")
  cmake_language(EXIT 77)
endif()
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
# send keeps a record of each update: this one's goes to the scratch folder.
set(ENV{XDG_STATE_HOME} "${WORK}/state")
set(valgrind ${VALGRIND} --error-exitcode=1 --leak-check=full --track-fds=no --quiet)

function(run_checked what)
  execute_process(COMMAND ${valgrind} ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what}: exit ${rc} under valgrind\n--- stdout\n${out}\n--- stderr\n${err}")
  endif()
  message("${what}: clean\n${out}")
endfunction()

run_checked("pack" "${CLI}" pack --out "${WORK}/short.mid" --interval 2 --first-delay 0 "${SYX}")
run_checked("send --capture" "${CLI}" send "${WORK}/short.mid" --capture "${WORK}/capture.syx")

file(READ "${SYX}" expected HEX)
file(READ "${WORK}/capture.syx" captured HEX)
if(NOT expected STREQUAL captured)
  message(FATAL_ERROR "the capture does not hold the input messages")
endif()
