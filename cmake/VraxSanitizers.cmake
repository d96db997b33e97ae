# Whole-build sanitizers, chosen with -DVRAX_SANITIZE=address;undefined or =thread.
if(VRAX_SANITIZE)
  string(REPLACE ";" "," _vrax_sanitizers "${VRAX_SANITIZE}")
  add_compile_options(-fsanitize=${_vrax_sanitizers} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_vrax_sanitizers})
endif()
