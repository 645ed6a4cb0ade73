# One place for the warning flags so every target is held to the same bar.
# The conversion and cast warnings catch silent narrowing of sizes, ticks and
# MIDI bytes; the class warnings catch deletes through a base and hidden
# overloads.
function(mirelo_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic
    -Wconversion -Wsign-conversion -Wshadow
    $<$<COMPILE_LANGUAGE:CXX>:-Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual>)
  if(MIRELO_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
