# Install layout: `cmake --install build --prefix /usr` (and the Debian
# package, which installs the same way) gives the commands, the runtime and
# compiler libraries with their headers, pkg-config and CMake files, the
# example networks, the menu entry, its icon and metainfo, and the manual pages.
#
# On a multiarch system the libraries go to lib/<triplet> whatever the prefix:
# Debian searches /usr/local/lib/<triplet> too, and the package needs it.
if(CMAKE_LIBRARY_ARCHITECTURE AND NOT DEFINED CACHE{CMAKE_INSTALL_LIBDIR})
  set(CMAKE_INSTALL_LIBDIR "lib/${CMAKE_LIBRARY_ARCHITECTURE}" CACHE PATH "Object code libraries (LIBDIR)")
endif()
# Debian keeps a package's copyright and changelog under its own name.
set(CMAKE_INSTALL_DOCDIR "share/doc/vraxgui" CACHE PATH "Documentation root (DOCDIR)")
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VRAX_APP_ID org.vraxgui.VraxGui)
set(VRAX_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(VRAX_DATA_DIR ${CMAKE_INSTALL_DATADIR}/vraxgui)
set(VRAX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Vrax)

# Commands. vrax-run joins them once it is built.
set(vrax_commands vraxgui vrax-compile)
if(TARGET vrax-run)
  list(APPEND vrax_commands vrax-run)
endif()
if(TARGET vrax-eval)
  list(APPEND vrax_commands vrax-eval)
endif()
install(TARGETS ${vrax_commands} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Libraries (versioned, with their SONAME and dev links) and their headers.
install(TARGETS vrax vrax_compiler EXPORT VraxTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vrax)
install(FILES
  ${PROJECT_SOURCE_DIR}/simulator/runtime/include/vrax.h
  ${PROJECT_SOURCE_DIR}/simulator/runtime/include/vrax_sim.h
  ${PROJECT_SOURCE_DIR}/simulator/runtime/include/vrax_profile.h
  ${PROJECT_SOURCE_DIR}/simulator/compiler/include/vrax_compiler.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vrax)

# CMake package: find_package(Vrax CONFIG) gives Vrax::vrax and Vrax::vrax_compiler.
install(EXPORT VraxTargets NAMESPACE Vrax:: DESTINATION ${VRAX_CMAKE_DIR})
configure_package_config_file(${VRAX_PACKAGING_DIR}/VraxConfig.cmake.in
  ${PROJECT_BINARY_DIR}/packaging/VraxConfig.cmake INSTALL_DESTINATION ${VRAX_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/packaging/VraxConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/packaging/VraxConfig.cmake
              ${PROJECT_BINARY_DIR}/packaging/VraxConfigVersion.cmake
        DESTINATION ${VRAX_CMAKE_DIR})

# pkg-config files, written at install time: the prefix is known only then
# (`cmake --install --prefix`, or the package's /usr).
foreach(pc vrax vrax-compiler)
  install(CODE "
    set(prefix \"\${CMAKE_INSTALL_PREFIX}\")
    set(CMAKE_INSTALL_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
    set(CMAKE_INSTALL_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
    set(PROJECT_VERSION \"${PROJECT_VERSION}\")
    configure_file(\"${VRAX_PACKAGING_DIR}/pkgconfig/${pc}.pc.in\"
                   \"${PROJECT_BINARY_DIR}/packaging/install-time/${pc}.pc\" @ONLY)
    file(INSTALL \"${PROJECT_BINARY_DIR}/packaging/install-time/${pc}.pc\"
         DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig\")")
endforeach()

# Example networks: models, descriptions, pictures and expected answers (the
# training script and the maintainers' scripts stay in the source tree).
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${VRAX_DATA_DIR}/examples
  PATTERN training EXCLUDE
  PATTERN "*.sh" EXCLUDE
  PATTERN __pycache__ EXCLUDE)
# The application looks for them in ../share/vraxgui/examples beside its own
# folder: in the build tree that is a link to the source tree's examples.
add_custom_target(vrax_examples_link ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory $<TARGET_FILE_DIR:vraxgui>/../share/vraxgui
  COMMAND ${CMAKE_COMMAND} -E create_symlink ${PROJECT_SOURCE_DIR}/examples
          $<TARGET_FILE_DIR:vraxgui>/../share/vraxgui/examples
  VERBATIM)

# Desktop integration.
install(FILES ${VRAX_PACKAGING_DIR}/${VRAX_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${VRAX_PACKAGING_DIR}/${VRAX_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${VRAX_PACKAGING_DIR}/${VRAX_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Manual pages, one per installed command, compressed as Debian ships them
# (gzip -n: no name or time stamp, so that builds repeat byte for byte).
find_program(VRAX_GZIP gzip REQUIRED)
set(vrax_man_pages)
foreach(command IN LISTS vrax_commands)
  set(source ${VRAX_PACKAGING_DIR}/man/${command}.1)
  if(NOT EXISTS ${source})
    # The package test fails on it; the build goes on meanwhile.
    message(WARNING "The command ${command} is installed but has no manual page: write ${source} "
                    "(plain roff, like the others in that folder)")
    continue()
  endif()
  set(page ${PROJECT_BINARY_DIR}/packaging/man/${command}.1)
  configure_file(${source} ${page} @ONLY)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${VRAX_GZIP} -9 -n -c ${page} > ${page}.gz
    DEPENDS ${page} ${source}
    COMMENT "Compressing the manual page ${command}.1")
  list(APPEND vrax_man_pages ${page}.gz)
endforeach()
add_custom_target(vrax_man_pages ALL DEPENDS ${vrax_man_pages})
install(FILES ${vrax_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Debian's copyright and changelog, where the package keeps them.
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  COMMAND ${VRAX_GZIP} -9 -n -c ${VRAX_PACKAGING_DIR}/changelog > ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  DEPENDS ${VRAX_PACKAGING_DIR}/changelog)
add_custom_target(vrax_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${VRAX_PACKAGING_DIR}/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
