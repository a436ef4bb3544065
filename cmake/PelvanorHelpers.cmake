# pelvanor_core_library(<name> [DEPS <targets>...])
# Builds every *.cpp of the calling folder into the static library
# pelvanor_<name>. Sources are globbed so that adding a file needs no edit here.
function(pelvanor_core_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(_src)
    add_library(pelvanor_${name} STATIC ${_src})
    target_include_directories(pelvanor_${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(pelvanor_${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(pelvanor_${name} INTERFACE)
    target_include_directories(pelvanor_${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(pelvanor_${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# pelvanor_folder_tests(<folder> [LIBS <targets>...] [ENV <k=v>...])
# Every tests/<folder>/*_test.cpp becomes one executable registered in CTest
# as <folder>/<name>; the other *.cpp of the folder are support code linked
# into each of them.
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
    target_compile_definitions(${_exe} PRIVATE
      PELVANOR_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
      PELVANOR_SHARED_DIR="${PROJECT_SOURCE_DIR}/../shared")
    add_test(NAME ${folder}/${_short} COMMAND ${_exe})
    set_tests_properties(${folder}/${_short} PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${ARG_ENV}" TIMEOUT 900)
  endforeach()
endfunction()
