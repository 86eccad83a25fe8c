# The Debian package: "cpack -G DEB" in the build directory (after a build)
# makes tplsetup_<version>_<arch>.deb with both programs and both manual
# pages; the shared libraries the programs link decide the dependencies
# (dpkg-shlibdeps), and xdg-open, which opens the kit's description after an
# installation, is recommended. No licence is chosen here: the copyright
# file says so. The vendor sets TPL_DEBIAN_MAINTAINER to its own address.

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

# What Debian asks of every package's documentation directory, and the
# overrides for the checker's English spelling of translated messages.
set(tpl_changelog ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
if(TPL_GZIP)
  add_custom_command(OUTPUT ${tpl_changelog}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging
    COMMAND ${TPL_GZIP} -9 -n -c ${PROJECT_SOURCE_DIR}/packaging/changelog > ${tpl_changelog}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
    VERBATIM)
  add_custom_target(tpl_changelog ALL DEPENDS ${tpl_changelog})
  install(FILES ${tpl_changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME tplsetup)

set(CPACK_PACKAGE_NAME tplsetup)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "setup wizard for a kit of configuration templates, and the kit tool tkx")
# Lines of at most 80 columns, as the package's extended description.
set(CPACK_PACKAGE_DESCRIPTION "tplsetup installs a distribution kit of configuration templates
(qbx4.tkx, beside the program in /usr/lib/tplsetup or in the current
directory) into the user's template directory as one transaction: what it
replaces is backed up, a failure or an interruption puts the directory back
as it was, and a killed run is rolled back at the next start. It runs as a
GTK+ 2 wizard, or without a display for scripts, with exit statuses, a log
and a JSON summary. tkx packs, lists, verifies and previews kits.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(TPL_DEBIAN_MAINTAINER "tplsetup maintainers <maintainers@tplsetup.example.org>" CACHE STRING
  "Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TPL_DEBIAN_MAINTAINER}")
include(CPack)

# The package is built and read back: both programs, both pages, the
# dependencies declared, and nothing that only the tests use. Only from a
# hardened build: one with the sanitizers or without optimisation is no
# package anyone ships, and lintian rightly finds its hardening missing.
find_program(TPL_DPKG_DEB dpkg-deb)
find_program(TPL_DPKG_SHLIBDEPS dpkg-shlibdeps)
find_program(TPL_LINTIAN lintian)
if(TPL_BUILD_UI AND TPL_HARDENED AND TPL_DPKG_DEB AND TPL_DPKG_SHLIBDEPS)
  add_test(NAME package_deb
    COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${PROJECT_BINARY_DIR} -DCPACK=${CMAKE_CPACK_COMMAND}
            -DDPKG_DEB=${TPL_DPKG_DEB} -DLINTIAN=${TPL_LINTIAN}
            -P ${PROJECT_SOURCE_DIR}/cmake/CheckDebPackage.cmake)
  set_tests_properties(package_deb PROPERTIES TIMEOUT 300 LABELS package)
endif()

# The manual pages as mandoc checks them: no warning, no line over 80 bytes.
find_program(TPL_MANDOC mandoc)
if(TPL_MANDOC)
  add_test(NAME man_pages_lint
    COMMAND ${TPL_MANDOC} -Tlint -W style ${PROJECT_SOURCE_DIR}/man/tplsetup.1 ${PROJECT_SOURCE_DIR}/man/tkx.1)
  set_tests_properties(man_pages_lint PROPERTIES LABELS package)
endif()
