# Warnings for the project's own targets; -Werror when VRAX_WERROR is on (CI).
function(vrax_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wnon-virtual-dtor
                                           -Wcast-align -Woverloaded-virtual)
  if(VRAX_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
