# lumetra_resource_library(NAME SCRIPT script [OUTPUT_NAME file] [OUTPUT_DIRECTORY dir] [DEPENDS files...])
#
# Compiles a resource script with lumetra-rc into a shared object named
# OUTPUT_NAME (default LUMEXRS.DLL) in OUTPUT_DIRECTORY (default build/bin,
# beside the programs, where LoadLibraryW looks first).
function(lumetra_resource_library name)
  cmake_parse_arguments(ARG "" "SCRIPT;OUTPUT_NAME;OUTPUT_DIRECTORY" "DEPENDS" ${ARGN})
  if(NOT ARG_OUTPUT_NAME)
    set(ARG_OUTPUT_NAME LUMEXRS.DLL)
  endif()
  if(NOT ARG_OUTPUT_DIRECTORY)
    set(ARG_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
  endif()
  get_filename_component(script ${ARG_SCRIPT} ABSOLUTE)
  set(generated ${CMAKE_CURRENT_BINARY_DIR}/${name}_resources.c)
  add_custom_command(
    OUTPUT ${generated}
    COMMAND lumetra-rc ${script} ${generated}
    DEPENDS lumetra-rc ${script} ${ARG_DEPENDS}
    COMMENT "Compiling resource script ${ARG_SCRIPT}"
    VERBATIM)
  add_library(${name} SHARED ${generated})
  set_target_properties(${name} PROPERTIES
    PREFIX "" OUTPUT_NAME ${ARG_OUTPUT_NAME} SUFFIX ""
    LIBRARY_OUTPUT_DIRECTORY ${ARG_OUTPUT_DIRECTORY})
endfunction()
