# One place for the warning flags so every target is held to the same bar.
function(mirelo_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(MIRELO_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
