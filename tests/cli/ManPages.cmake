# The manual pages made from the programs' --help cover what the programs
# read and do: every environment variable that the sources read (the shared
# layers' in both pages, the CLI's and the window's in their own), the exit
# statuses, and every command of the CLI. Neither the pages nor the programs
# name a variable that only the test doubles read.
#   MAN_DIR     where the build put the pages (NAME.1.gz)
#   SOURCE_DIR  the project's sources
#   HAVE_APP    whether the window program is part of the build
#   PROGRAMS    the programs that ship, separated by |

function(page_text program out)
  execute_process(COMMAND gzip -dc "${MAN_DIR}/${program}.1.gz" RESULT_VARIABLE rc OUTPUT_VARIABLE text)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "no manual page ${MAN_DIR}/${program}.1.gz")
  endif()
  foreach(section NAME SYNOPSIS DESCRIPTION OPTIONS "\"EXIT STATUS\"" ENVIRONMENT)
    if(NOT text MATCHES "\n\\.SH ${section}\n")
      message(FATAL_ERROR "${program}(1) has no ${section} section")
    endif()
  endforeach()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The names of the variables read in these folders' sources, as the string
# literals that getenv is given.
function(variables_read out)
  set(found "")
  foreach(pattern IN LISTS ARGN)
    file(GLOB sources "${SOURCE_DIR}/${pattern}")
    foreach(source IN LISTS sources)
      file(READ "${source}" text)
      string(REGEX MATCHALL "\"MIRELO_[A-Z_]+\"" literals "${text}")
      list(APPEND found ${literals})
    endforeach()
  endforeach()
  string(REPLACE "\"" "" found "${found}")
  list(REMOVE_DUPLICATES found)
  set(${out} ${found} PARENT_SCOPE)
endfunction()

function(expect_documented program)
  foreach(variable IN LISTS ARGN)
    if(NOT page_${program} MATCHES "\n\\\\fB${variable}\\\\fR\n")
      message(FATAL_ERROR "${program}(1) does not explain ${variable}: add it to the program's --help")
    endif()
  endforeach()
endfunction()

set(shared_layers "src/*.cpp" "src/update/*.cpp" "src/platform/*/*.cpp" "src/platform/*/*/*.cpp")
variables_read(shared ${shared_layers})
if(NOT shared)
  message(FATAL_ERROR "no variable found in the shared layers: the search is broken")
endif()

page_text(mirelo-updater-cli page_mirelo-updater-cli)
variables_read(cli_only "src/cli/*.cpp" "src/cli/*.h")
expect_documented(mirelo-updater-cli ${shared} ${cli_only})
foreach(command inspect pack send list identify history)
  if(NOT page_mirelo-updater-cli MATCHES "\n\\.SS ${command}\n")
    message(FATAL_ERROR "mirelo-updater-cli(1) has no command ${command}")
  endif()
endforeach()
# The option parser's own words stay out: its markers, and a type name after a
# positional's name ("FILE TEXT REQUIRED").
string(REGEX MATCH "[^\n]*(REQUIRED|Excludes:|Needs:|\\\\fB[A-Z_.]+\\\\fR \\\\fI(TEXT|INT|UINT|FLOAT))[^\n]*"
       leftover "${page_mirelo-updater-cli}")
if(leftover)
  message(FATAL_ERROR "mirelo-updater-cli(1) holds the option parser's words: ${leftover}")
endif()

if(HAVE_APP)
  page_text(mirelo-updater page_mirelo-updater)
  variables_read(app_only "src/app/*.cpp" "src/app/*.h")
  expect_documented(mirelo-updater ${shared} ${app_only})
endif()

# Test hooks stay out of what ships.
variables_read(test_only "src/testing/*.cpp" "src/testing/*.h")
if(NOT test_only)
  message(FATAL_ERROR "no variable found in src/testing: the search is broken")
endif()
# The hooks also read the program's own variables (MIRELO_MIDI_BACKEND): those ship.
list(REMOVE_ITEM test_only ${shared} ${cli_only} ${app_only})
string(REPLACE "|" ";" programs "${PROGRAMS}")
foreach(variable IN LISTS test_only)
  foreach(program mirelo-updater-cli mirelo-updater)
    if(DEFINED page_${program} AND page_${program} MATCHES "${variable}")
      message(FATAL_ERROR "${program}(1) names ${variable}, which only tests may use")
    endif()
  endforeach()
  foreach(binary IN LISTS programs)
    file(STRINGS "${binary}" found REGEX "${variable}")
    if(found)
      message(FATAL_ERROR "${binary} holds ${variable}: a test hook is linked into a program that ships")
    endif()
  endforeach()
endforeach()
