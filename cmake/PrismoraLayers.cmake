# The plug-in's layers, lowest first. Each is one folder and one object
# library that may use only the layers named after USES (and the SDK); the
# build stops when a file of a layer includes a header of any other layer.
set(PRISMORA_LAYERS diag model cpu gpu effect)
set(PRISMORA_LAYER_CHECK ${CMAKE_CURRENT_LIST_DIR}/CheckLayerIncludes.cmake)

# Every layer's objects; the static core, the shared plug-in and the emulated
# variants are all made from these.
set(PRISMORA_LAYER_OBJECTS "")
foreach(layer IN LISTS PRISMORA_LAYERS)
  list(APPEND PRISMORA_LAYER_OBJECTS $<TARGET_OBJECTS:prismora_${layer}>)
endforeach()

# prismora_layer(NAME [USES lower layers...] SOURCES files...): the object
# library prismora_NAME from the folder NAME, linked to the layers it uses, and
# the include check that every build runs over the whole folder first.
function(prismora_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 LAYER "" "" "USES;SOURCES")
  add_library(prismora_${name} OBJECT ${LAYER_SOURCES})
  target_include_directories(prismora_${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(prismora_${name} PUBLIC prismora_sdk ${PRISMORA_CUDA_RUNTIME})
  foreach(lower IN LISTS LAYER_USES)
    target_link_libraries(prismora_${name} PUBLIC prismora_${lower})
  endforeach()
  prismora_check_layer_includes(${name} USES ${LAYER_USES})
  add_dependencies(prismora_${name} prismora_${name}_includes)
endfunction()

# prismora_check_layer_includes(NAME USES lower...): the custom target
# prismora_NAME_includes, which fails when a file under NAME/ includes a
# header of a layer outside NAME and USES (or reaches one by "../").
function(prismora_check_layer_includes name)
  cmake_parse_arguments(PARSE_ARGV 1 CHECK "" "" "USES")
  set(forbidden ${PRISMORA_LAYERS})
  list(REMOVE_ITEM forbidden ${name} ${CHECK_USES})
  set(dir ${PROJECT_SOURCE_DIR}/${name})
  file(GLOB_RECURSE files CONFIGURE_DEPENDS ${dir}/*.h ${dir}/*.cpp ${dir}/*.cu ${dir}/*.cuh)
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${name}_includes.checked)
  string(REPLACE ";" "," forbidden_arg "${forbidden}")
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DLAYER=${name} -DLAYER_DIR=${dir} "-DFORBIDDEN=${forbidden_arg}"
            -DSTAMP=${stamp} -P ${PRISMORA_LAYER_CHECK}
    DEPENDS ${files} ${PRISMORA_LAYER_CHECK}
    COMMENT "Checking that ${name}/ includes only its own and lower layers"
    VERBATIM)
  add_custom_target(prismora_${name}_includes DEPENDS ${stamp})
endfunction()
