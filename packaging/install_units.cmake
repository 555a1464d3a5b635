# Run by `cmake --install` (and by CPack): writes the service units with the
# programs' installed paths, which only the install step knows. Expects
# KELVA_BINDIR and KELVA_DOCDIR relative to the install prefix.
set(KELVA_BINDIR "${CMAKE_INSTALL_PREFIX}/${KELVA_BINDIR}")
set(KELVA_DOCDIR "${CMAKE_INSTALL_PREFIX}/${KELVA_DOCDIR}")
foreach(unit kelva-world kelvabot)
  set(unit_file "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/lib/systemd/system/${unit}.service")
  message(STATUS "Installing: ${unit_file}")
  configure_file("${CMAKE_CURRENT_LIST_DIR}/systemd/${unit}.service.in" "${unit_file}" @ONLY)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${unit_file}")
endforeach()
