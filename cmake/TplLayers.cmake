# tpl_expose_headers(TARGET FOLDER)
# Makes FOLDER's headers reachable from TARGET and from whatever links it as
# "<folder name>/header.h", and nothing else of the tree: each target gets an
# include root in the build tree that holds one link, to its own folder. A
# header of a layer that a target does not link is then a compile error.
function(tpl_expose_headers target folder)
  get_filename_component(name ${folder} NAME)
  set(root ${PROJECT_BINARY_DIR}/include/${target})
  file(MAKE_DIRECTORY ${root})
  if(NOT IS_SYMLINK ${root}/${name})
    file(CREATE_LINK ${folder} ${root}/${name} SYMBOLIC)
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()
