# Runs the CLI once and checks what it did.
#   CLI          the executable
#   ARGS         its arguments, separated by |
#   EXPECT_RC    the exit status
#   EXPECT_STDOUT_FILE   (optional) standard output must equal this file
#   EXPECT_STDOUT_REGEX  (optional) standard output must match
#   EXPECT_STDERR_REGEX  (optional) standard error must match; otherwise it must be empty
string(REPLACE "|" ";" args "${ARGS}")
execute_process(COMMAND "${CLI}" ${args}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc STREQUAL EXPECT_RC)
  message(FATAL_ERROR "exit status ${rc}, expected ${EXPECT_RC}\nstdout:\n${out}\nstderr:\n${err}")
endif()
if(DEFINED EXPECT_STDOUT_FILE)
  file(READ "${EXPECT_STDOUT_FILE}" expected)
  if(NOT out STREQUAL expected)
    string(LENGTH "${out}" got_length)
    string(LENGTH "${expected}" expected_length)
    message(FATAL_ERROR "stdout (${got_length} chars) differs from ${EXPECT_STDOUT_FILE} (${expected_length} chars)")
  endif()
endif()
if(DEFINED EXPECT_STDOUT_REGEX AND NOT out MATCHES "${EXPECT_STDOUT_REGEX}")
  message(FATAL_ERROR "stdout does not match ${EXPECT_STDOUT_REGEX}:\n${out}")
endif()
if(DEFINED EXPECT_STDERR_REGEX)
  if(NOT err MATCHES "${EXPECT_STDERR_REGEX}")
    message(FATAL_ERROR "stderr does not match ${EXPECT_STDERR_REGEX}:\n${err}")
  endif()
elseif(NOT err STREQUAL "")
  message(FATAL_ERROR "unexpected stderr:\n${err}")
endif()
