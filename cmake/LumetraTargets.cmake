# Helpers that give every target of the project the same warnings and layout.

set(LUMETRA_WARNINGS -Wall -Wextra -Werror)

# A folder that appears later (a merge, a new piece) is picked up at the next
# build: the folders that would hold it are configure dependencies.
macro(lumetra_add_present_subdirectories)
  foreach(dir ${ARGN})
    get_filename_component(_lumetra_parent ${CMAKE_CURRENT_SOURCE_DIR}/${dir} DIRECTORY)
    if(EXISTS ${_lumetra_parent})
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_lumetra_parent})
    endif()
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir})
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir})
    endif()
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endmacro()

function(lumetra_apply_warnings target)
  target_compile_options(${target} PRIVATE ${LUMETRA_WARNINGS})
endfunction()

# lumetra_library(NAME SOURCES ... [PUBLIC_INCLUDE dir...] [LIBS ...] [SHARED])
function(lumetra_library name)
  cmake_parse_arguments(ARG "SHARED" "" "SOURCES;PUBLIC_INCLUDE;LIBS" ${ARGN})
  if(ARG_SHARED)
    add_library(${name} SHARED ${ARG_SOURCES})
  else()
    add_library(${name} STATIC ${ARG_SOURCES})
  endif()
  lumetra_apply_warnings(${name})
  if(ARG_PUBLIC_INCLUDE)
    target_include_directories(${name} PUBLIC ${ARG_PUBLIC_INCLUDE})
  endif()
  if(ARG_LIBS)
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  endif()
endfunction()

# lumetra_executable(NAME SOURCES ... [LIBS ...])
function(lumetra_executable name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  lumetra_apply_warnings(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
endfunction()

# lumetra_test(NAME SOURCES ... [LIBS ...]): a GoogleTest binary whose cases
# ctest runs one by one.
function(lumetra_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  lumetra_apply_warnings(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 120)
endfunction()

# lumetra_bench(NAME SOURCES ... [LIBS ...]): a program that prints figures.
function(lumetra_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  lumetra_apply_warnings(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin/bench)
endfunction()

# Adds every folder below the current one that has a CMakeLists.txt: tools/,
# bench/ and tests/tools/ hold one folder per program.
macro(lumetra_add_every_subdirectory)
  file(GLOB _lumetra_lists RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
  foreach(_lumetra_list ${_lumetra_lists})
    get_filename_component(_lumetra_dir ${_lumetra_list} DIRECTORY)
    add_subdirectory(${_lumetra_dir})
  endforeach()
endmacro()
