# The application's layers, one static library each, linked only downward.
#
# A layer's headers are reachable only through the include folders of the
# layers it links: each layer exposes a folder holding a single link named
# after it to its sources, so "results/x.h" resolves inside the results layer
# and in the layers above it, and a wrong-way include fails to compile.

# vrax_add_layer(name [INTERFACE] [DEPENDS layer...] [LIBS lib...])
# Makes target vrax_<name> from the sources added in the folder <name>.
function(vrax_add_layer name)
  cmake_parse_arguments(ARG "INTERFACE" "" "DEPENDS;LIBS" ${ARGN})
  set(target vrax_${name})
  set(root ${PROJECT_BINARY_DIR}/layers/${name})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${name} ${root}/${name} SYMBOLIC)
  set(deps)
  foreach(dep IN LISTS ARG_DEPENDS)
    list(APPEND deps vrax_${dep})
  endforeach()
  if(ARG_INTERFACE)
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${root})
    target_link_libraries(${target} INTERFACE ${deps} ${ARG_LIBS})
  else()
    add_library(${target} STATIC)
    target_include_directories(${target} PUBLIC ${root})
    target_link_libraries(${target} PUBLIC ${deps} ${ARG_LIBS})
    vrax_set_warnings(${target})
  endif()
endfunction()
