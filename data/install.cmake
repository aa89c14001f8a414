# Install rules (GNUInstallDirs; DESTDIR and CMAKE_INSTALL_PREFIX are honoured, the prefix
# defaults to /usr/local). Everything is in the component "app": the install test installs
# that component alone, so its manifest (install_manifest_app.txt) never replaces the one
# of a real `make install` (install_manifest.txt), which `make uninstall` reads.
set(TN_APP_ID io.github.tandrel.Tandrel)
set(TN_DATA ${CMAKE_SOURCE_DIR}/data)

# The manual page carries the version and the installed paths.
configure_file(${TN_DATA}/tandrel.1.in ${CMAKE_BINARY_DIR}/data/tandrel.1 @ONLY)

install(TARGETS tandrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT app)
install(FILES ${TN_DATA}/${TN_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT app)
install(FILES ${TN_DATA}/${TN_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT app)
install(FILES ${TN_DATA}/icons/${TN_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
  COMPONENT app)
foreach(size 48 128)
  install(FILES ${TN_DATA}/icons/${TN_APP_ID}-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${TN_APP_ID}.png COMPONENT app)
endforeach()
install(FILES ${CMAKE_BINARY_DIR}/data/tandrel.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT app)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT app)
install(FILES ${CMAKE_SOURCE_DIR}/docs/screenshot.png ${CMAKE_SOURCE_DIR}/docs/overview.png DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs COMPONENT app)

# make uninstall: removes what the last install wrote (install_manifest.txt).
add_custom_target(uninstall
  COMMAND ${CMAKE_COMMAND} -DMANIFEST=${CMAKE_BINARY_DIR}/install_manifest.txt
    -DDOC_DIR=${CMAKE_INSTALL_FULL_DOCDIR} -P ${TN_DATA}/uninstall.cmake
  VERBATIM)
