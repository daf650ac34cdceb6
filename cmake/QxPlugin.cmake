# qx_add_plugin(NAME DEF_FILE sources...): a plug-in module NAME.qxdll that exports exactly
# the five entry points.
function(qx_add_plugin name def_file)
  add_library(${name} MODULE ${ARGN})
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX ".qxdll" CXX_VISIBILITY_PRESET hidden
                                           VISIBILITY_INLINES_HIDDEN ON)
  target_link_libraries(${name} PRIVATE qx_shell_exports qx_shell qx_mapdoc qx_platform tinyxml)
  if(WIN32)
    target_sources(${name} PRIVATE "${def_file}")
    # No MinGW runtime DLLs beside the host; stripped for shipping.
    target_link_options(${name} PRIVATE -static -s)
  else()
    # Hidden visibility still leaves the standard library's template instances exported.
    target_link_options(${name} PRIVATE
      "LINKER:--version-script=${PROJECT_SOURCE_DIR}/cmake/plugin-exports.map" "LINKER:--no-undefined")
    set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS "${PROJECT_SOURCE_DIR}/cmake/plugin-exports.map")
  endif()
endfunction()
