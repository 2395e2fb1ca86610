# Installing Ormandel as a desktop application on Linux, and its Debian package (CPack, `cpack -G DEB`
# in the build folder; scripts/package.sh does the whole job). Included after every target is made.
if(WIN32)
  return()
endif()

set(ORMANDEL_HELPER_PATH ${CMAKE_INSTALL_FULL_LIBEXECDIR}/ormandel/ormandel-helper)
set(ormandel_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/ormandel)
set(ormandel_staged ${CMAKE_BINARY_DIR}/install-files)
# Folders made on the way are 0755 whatever the umask of the person building the package.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# ---- Programs -------------------------------------------------------------------------------------
foreach(program ormandel ormandel-demo ormandel-probe)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
# The helper that opens drives as root for the windows, started through pkexec; the polkit action
# names its installed path.
if(TARGET ormandel-helper)
  install(TARGETS ormandel-helper RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/ormandel)
endif()
configure_file(${PROJECT_SOURCE_DIR}/data/com.example.ormandel.policy.in
               ${ormandel_staged}/com.example.ormandel.policy @ONLY)
install(FILES ${ormandel_staged}/com.example.ormandel.policy
        DESTINATION ${CMAKE_INSTALL_DATADIR}/polkit-1/actions)

# The demo's drives, where the installed demo looks for them by default.
install(FILES ${PROJECT_SOURCE_DIR}/demo/drives.json DESTINATION ${CMAKE_INSTALL_DATADIR}/ormandel)

# ---- Desktop integration --------------------------------------------------------------------------
if(TARGET ormandel)
  install(FILES ${PROJECT_SOURCE_DIR}/data/com.example.ormandel.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/data/com.example.ormandel.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
endif()

# ---- Manual pages and the package's documents, gzipped as Debian wants them -----------------------
set(ormandel_pages)
foreach(page ormandel ormandel-demo ormandel-probe)
  if(TARGET ${page})
    list(APPEND ormandel_pages ${page})
  endif()
endforeach()
set(ormandel_gzipped)
foreach(page ${ormandel_pages})
  configure_file(${PROJECT_SOURCE_DIR}/data/man/${page}.1.in ${ormandel_staged}/${page}.1 @ONLY)
  list(APPEND ormandel_gzipped ${ormandel_staged}/${page}.1)
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/data/package/changelog.in ${ormandel_staged}/changelog @ONLY)
list(APPEND ormandel_gzipped ${ormandel_staged}/changelog)
set(ormandel_gz_files)
foreach(file ${ormandel_gzipped})
  add_custom_command(OUTPUT ${file}.gz
                     COMMAND gzip -9 -n -k -f ${file}
                     DEPENDS ${file}
                     VERBATIM)
  list(APPEND ormandel_gz_files ${file}.gz)
endforeach()
add_custom_target(ormandel_install_files ALL DEPENDS ${ormandel_gz_files})

foreach(page ${ormandel_pages})
  install(FILES ${ormandel_staged}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/data/package/copyright ${ormandel_staged}/changelog.gz
        DESTINATION ${ormandel_doc_dir})

# ---- The Debian package ---------------------------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ormandel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Ormandel authors")
set(CPACK_PACKAGE_CONTACT "The Ormandel authors <ormandel@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "drive details, SMART attributes and whole-drive erasure")
set(CPACK_PACKAGE_DESCRIPTION
    "Ormandel lists the machine's physical drives and lets the operator pick one.
It shows a device details report decoded from the drive's ATA IDENTIFY DEVICE
data and a table of its SMART attribute values, and, after an explicit
confirmation, erases the whole drive by writing zeroes over every byte from
the first sector to the last.

The windows run as the user; a small helper started through pkexec opens the
drives as root. The package also holds ormandel-probe, which prints the drives
the chooser would list, and ormandel-demo, the program on simulated drives.")
# The compiled-in paths (the helper's, the demo's drives) come from the install prefix, so the
# package installs under the same prefix: configure with -DCMAKE_INSTALL_PREFIX=/usr.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://www.example.com/ormandel/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beyond the shared libraries: pkexec starts the helper, and Qt finds its display plugins
# (xcb, offscreen) in qt6-qpa-plugins. The window fonts are the Tahoma of Wine's fonts, else
# Liberation or DejaVu.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "pkexec, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wine, fonts-liberation2 | fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

# The package test: build, lint, install, run, purge (root; skips otherwise).
if(ORMANDEL_TESTS AND TARGET ormandel)
  add_test(NAME package_deb
           COMMAND sh ${PROJECT_SOURCE_DIR}/tests/package/package_test.sh ${PROJECT_SOURCE_DIR}
                   ${CMAKE_BINARY_DIR} ${CMAKE_INSTALL_PREFIX} ${CMAKE_BUILD_TYPE} ${ORMANDEL_WERROR}
                   ${ORMANDEL_BUILD_TREE_HELPER})
  set_tests_properties(package_deb PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 1800 RUN_SERIAL ON)
endif()
