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
  pelvanor_strict_warnings(pelvanor_${name})
endfunction()

# Warnings beyond -Wall -Wextra for the code that is clean of them.
function(pelvanor_strict_warnings target)
  target_compile_options(${target} PRIVATE -Wshadow)
endfunction()

# pelvanor_folder_tests(<folder> [LIBS <targets>...] [ENV <k=v>...])
# Every tests/<folder>/*_test.cpp becomes one executable registered in CTest
# as <folder>/<name>; the other *.cpp of the folder are support code linked
# into each of them.  LIBS names the library under test (and test helpers):
# each test links only that.
function(pelvanor_folder_tests folder)
  cmake_parse_arguments(ARG "NO_GTEST_MAIN" "" "LIBS;ENV" ${ARGN})
  file(GLOB _tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*_test.cpp)
  file(GLOB _all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  set(_support ${_all})
  if(_tests)
    list(REMOVE_ITEM _support ${_tests})
  endif()
  foreach(_t ${_tests})
    get_filename_component(_n ${_t} NAME_WE)
    string(REGEX REPLACE "_test$" "" _short ${_n})
    set(_exe test_${folder}_${_short})
    add_executable(${_exe} ${_t} ${_support})
    target_link_libraries(${_exe} PRIVATE ${ARG_LIBS} pelvanor_testsupport GTest::gtest)
    if(NOT ARG_NO_GTEST_MAIN)
      target_link_libraries(${_exe} PRIVATE GTest::gtest_main)
    endif()
    add_test(NAME ${folder}/${_short} COMMAND ${_exe})
    # A test whose data are missing says so and counts as skipped, never
    # as passed.
    set_tests_properties(${folder}/${_short} PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${ARG_ENV}" TIMEOUT 900
      SKIP_REGULAR_EXPRESSION "real data not available")
  endforeach()
endfunction()
