include(GoogleTest)

# tpl_add_gtest(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2)
# Builds one GoogleTest executable and registers its cases with CTest.
function(tpl_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()

# tpl_test_locales(OUT_VAR name...) compiles each locale "ll_CC.CHARSET"
# (de_DE.UTF-8, ru_RU.KOI8-R, de_DE.ISO-8859-1) once into the build tree, so
# that the tests do not depend on which locales the system has generated; run
# them with LOCPATH set to OUT_VAR's directory. Sets OUT_VAR to that directory
# when every locale was made, else to the empty string.
set(TPL_TEST_LOCALE_DIR ${CMAKE_BINARY_DIR}/locales)
function(tpl_test_locales out)
  find_program(TPL_LOCALEDEF localedef)
  set(${out} ${TPL_TEST_LOCALE_DIR} PARENT_SCOPE)
  foreach(locale IN LISTS ARGN)
    if(EXISTS ${TPL_TEST_LOCALE_DIR}/${locale}/LC_CTYPE)
      continue()
    endif()
    string(REGEX MATCH "^([^.]+)\\.(.+)$" parts ${locale})
    if(TPL_LOCALEDEF)
      file(MAKE_DIRECTORY ${TPL_TEST_LOCALE_DIR})
      execute_process(COMMAND ${TPL_LOCALEDEF} -i ${CMAKE_MATCH_1} -f ${CMAKE_MATCH_2} ${TPL_TEST_LOCALE_DIR}/${locale}
                      OUTPUT_QUIET ERROR_QUIET)
    endif()
    if(NOT EXISTS ${TPL_TEST_LOCALE_DIR}/${locale}/LC_CTYPE)
      message(STATUS "cannot compile the locale ${locale} for the tests")
      set(${out} "" PARENT_SCOPE)
    endif()
  endforeach()
endfunction()
