# The Debian package: "cpack -G DEB" in the build directory (after a build)
# makes tplsetup_<version>_<arch>.deb with both programs and both manual
# pages; the shared libraries the programs link decide the dependencies
# (dpkg-shlibdeps), and xdg-open, which opens the kit's description after an
# installation, is recommended. No licence is chosen here, so the package
# carries none.

# Manual pages compressed, as Debian installs them.
find_program(TPL_GZIP gzip)
set(tpl_man_pages)
foreach(page tplsetup.1 tkx.1)
  if(TPL_GZIP)
    set(compressed ${PROJECT_BINARY_DIR}/man/${page}.gz)
    add_custom_command(OUTPUT ${compressed}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
      COMMAND ${TPL_GZIP} -9 -n -c ${PROJECT_SOURCE_DIR}/man/${page} > ${compressed}
      DEPENDS ${PROJECT_SOURCE_DIR}/man/${page}
      VERBATIM)
    list(APPEND tpl_man_pages ${compressed})
  else()
    list(APPEND tpl_man_pages ${PROJECT_SOURCE_DIR}/man/${page})
  endif()
endforeach()
add_custom_target(tpl_man_pages ALL DEPENDS ${tpl_man_pages})
install(FILES ${tpl_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_PACKAGE_NAME tplsetup)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "setup wizard for a kit of configuration templates, and the kit tool tkx")
set(CPACK_PACKAGE_DESCRIPTION
  "tplsetup installs the distribution kit qbx4.tkx of configuration templates into the user's template directory as a transaction, with a GTK+ 2 wizard or without a display; tkx packs, lists, verifies and previews kits.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(TPL_PACKAGE_MAINTAINER "tplsetup maintainers <tplsetup@localhost>" CACHE STRING
  "Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TPL_PACKAGE_MAINTAINER}")
include(CPack)

# The package is built and read back: both programs, both pages, the
# dependencies declared, and nothing that only the tests use.
find_program(TPL_DPKG_DEB dpkg-deb)
find_program(TPL_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(TPL_BUILD_UI AND TPL_DPKG_DEB AND TPL_DPKG_SHLIBDEPS)
  add_test(NAME package_deb
    COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${PROJECT_BINARY_DIR} -DCPACK=${CMAKE_CPACK_COMMAND}
            -DDPKG_DEB=${TPL_DPKG_DEB} -P ${PROJECT_SOURCE_DIR}/cmake/CheckDebPackage.cmake)
  set_tests_properties(package_deb PROPERTIES TIMEOUT 300 LABELS package)
endif()
