# pelvanor_own_include_dir(<target> <folder>)
# Gives <target> an include directory that holds only <folder> (a symbolic
# link into the source tree), so that "folder/header.h" is found for the
# target and for whatever links it, and a header of a library a target does
# not link is not found at all: a wrong-way include fails to compile.
function(pelvanor_own_include_dir target folder)
  set(_root ${PROJECT_BINARY_DIR}/include/${target})
  set(_link ${_root}/${folder})
  get_filename_component(_parent ${_link} DIRECTORY)
  file(MAKE_DIRECTORY ${_parent})
  if(NOT IS_SYMLINK ${_link})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${_link} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${_root})
endfunction()

# pelvanor_core_library(<name> SOURCES <files>... [PUBLIC <targets>...] [PRIVATE <targets>...])
# The static library pelvanor_<name> of the folder <name>.  PUBLIC names the
# libraries whose headers the folder's headers include, PRIVATE those that
# only its sources include.
function(pelvanor_core_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
  add_library(pelvanor_${name} STATIC ${ARG_SOURCES})
  pelvanor_own_include_dir(pelvanor_${name} ${name})
  target_link_libraries(pelvanor_${name} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
endfunction()

# pelvanor_test_support(<folder> SOURCES <files>... [LIBS <targets>...])
# The helpers of the tests of tests/<folder> (fixtures, scenes, hosts, a
# main() around GoogleTest) as one library, pelvanor_test_<folder>,
# compiled once and linked by the tests that use them; LIBS are the
# libraries the helpers themselves use.  Helpers that are headers only make
# an interface library that carries what they need.
function(pelvanor_test_support folder)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  set(_target pelvanor_test_${folder})
  set(_compiled ${ARG_SOURCES})
  list(FILTER _compiled INCLUDE REGEX "\\.cpp$")
  if(_compiled)
    add_library(${_target} STATIC ${ARG_SOURCES})
    target_link_libraries(${_target} PUBLIC ${ARG_LIBS} pelvanor_testsupport)
  else()
    add_library(${_target} INTERFACE ${ARG_SOURCES})
    target_link_libraries(${_target} INTERFACE ${ARG_LIBS} pelvanor_testsupport)
  endif()
endfunction()

# pelvanor_add_test(<folder>/<name> SOURCES <files>... [LIBS <targets>...]
#                   [NO_GTEST_MAIN] [RUNS <programs>...] [SKIP_WHEN <text>...])
# The test program test_<folder>_<name> built from SOURCES (paths below
# tests/) and registered in CTest as <folder>/<name>, so that a failing name
# says where to look.  LIBS names the library under test, the libraries
# whose functions build its expectations and the folder's support library;
# the shared helpers of tests/support come with every test.  NO_GTEST_MAIN:
# a support library brings main() (a Qt application around GoogleTest).
# RUNS: programs of the build the test starts, built before it (targets
# that are not built are left out).  A test whose data are missing says
# "real data not available" and counts as skipped, never as passed;
# SKIP_WHEN adds further texts that skip.
function(pelvanor_add_test name)
  cmake_parse_arguments(ARG "NO_GTEST_MAIN" "" "SOURCES;LIBS;RUNS;SKIP_WHEN" ${ARGN})
  string(REPLACE "/" "_" _exe "test_${name}")
  add_executable(${_exe} ${ARG_SOURCES})
  target_link_libraries(${_exe} PRIVATE ${ARG_LIBS} pelvanor_testsupport GTest::gtest)
  if(NOT ARG_NO_GTEST_MAIN)
    target_link_libraries(${_exe} PRIVATE GTest::gtest_main)
  endif()
  foreach(_program ${ARG_RUNS})
    if(TARGET ${_program})
      add_dependencies(${_exe} ${_program})
    endif()
  endforeach()
  set(_skip "real data not available" ${ARG_SKIP_WHEN})
  add_test(NAME ${name} COMMAND ${_exe})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 900
    SKIP_REGULAR_EXPRESSION "${_skip}")
endfunction()
