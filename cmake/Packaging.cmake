# Installation and the Debian package.
#
#   cmake --install build/release --prefix /usr     (or: cpack -G DEB in build/release)
#
# plexivar and vestrel go to bin/, the engine to lib/plexivar/ (private: only these two
# programs load it, found through their run path), the systemd unit and an example
# configuration beside them. Two packages: "plexivar" (the service, the tool and the
# engine: no Qt) and "plexivar-window" (the operator window module, which needs Qt), so a
# headless server installs no desktop libraries.
include(GNUInstallDirs)
set(PLEXIVAR_ENGINE_DIR ${CMAKE_INSTALL_LIBDIR}/plexivar)

set_target_properties(plexivar vestrel_tool PROPERTIES
  INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}/plexivar;$ORIGIN")
install(TARGETS plexivar vestrel_tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT core)
install(TARGETS vestrel LIBRARY DESTINATION ${PLEXIVAR_ENGINE_DIR} COMPONENT core)
install(FILES packaging/plexivar.service DESTINATION lib/systemd/system COMPONENT core)
install(FILES packaging/plexivar.ini.example DESTINATION ${CMAKE_INSTALL_DATADIR}/plexivar
        COMPONENT core)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/plexivar COMPONENT core)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME plexivar)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL core window)
set(CPACK_DEBIAN_CORE_PACKAGE_NAME plexivar)
set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME plexivar-window)
set(CPACK_DEBIAN_WINDOW_PACKAGE_DEPENDS "plexivar (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_WINDOW_DESCRIPTION "Operator window of the Plexivar plate-file spooler")
set(CPACK_PACKAGE_VENDOR "Plexivar")
set(CPACK_PACKAGE_CONTACT "Plexivar developers <plexivar@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Plate-file spooler for newspaper prepress")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The engine is private to the two programs: no shlibs entry for it.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
# The database link reaches SQL Server through FreeTDS's ODBC driver.
set(CPACK_DEBIAN_CORE_PACKAGE_RECOMMENDS "tdsodbc")
set(CPACK_DEBIAN_CORE_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
