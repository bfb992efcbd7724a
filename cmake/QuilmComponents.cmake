# Component targets with enforced include boundaries.
#
# Sources name headers by their path from the project root
# ("mirror/core/mirror_model.hpp"). The project root itself is on no target's
# include path: each component instead gets directories in the build tree that
# hold links to exactly the headers it offers, under those same paths:
#   public   - its interface, seen by every target that links it;
#   private  - its internal headers, seen by its own sources and tests only;
#   testing  - its tests' shared helpers, seen by its tests only.
# A file that includes a header of a component it does not link, or another
# component's private header, therefore fails to compile.

set(QUILM_HEADER_TREES ${CMAKE_BINARY_DIR}/include-trees)

# quilm_header_tree(<dir> <header>...): makes <dir> hold links to <header>s
# (paths from the project root) and nothing else.
function(quilm_header_tree dir)
  file(REMOVE_RECURSE ${dir})
  file(MAKE_DIRECTORY ${dir})
  foreach(header ${ARGN})
    get_filename_component(parent ${dir}/${header} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${header} ${dir}/${header} SYMBOLIC COPY_ON_ERROR)
  endforeach()
endfunction()

# quilm_headers_of(<out-var> <folder> [EXCLUDE <name>...]): the headers directly
# in <folder> (relative to the current source directory), as paths from the
# project root, without the excluded file names.
function(quilm_headers_of out folder)
  cmake_parse_arguments(ARG "" "" "EXCLUDE" ${ARGN})
  file(GLOB found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.hpp)
  set(result "")
  foreach(path ${found})
    get_filename_component(name ${path} NAME)
    if(NOT name IN_LIST ARG_EXCLUDE)
      file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR} ${path})
      list(APPEND result ${relative})
    endif()
  endforeach()
  list(SORT result)
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# quilm_component_headers(<target> PUBLIC <header>... [PRIVATE <header>...]
#                         [TESTING <header>...] [INSTALL_DESTINATION <dir>])
# Gives <target> its header directories (see above). With INSTALL_DESTINATION
# the public headers are installed below it, keeping their paths; private and
# testing headers are never installed.
function(quilm_component_headers target)
  cmake_parse_arguments(ARG "" "INSTALL_DESTINATION" "PUBLIC;PRIVATE;TESTING" ${ARGN})
  get_target_property(type ${target} TYPE)
  set(root ${QUILM_HEADER_TREES}/${target})
  quilm_header_tree(${root}/public ${ARG_PUBLIC})
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE $<BUILD_INTERFACE:${root}/public>)
  else()
    target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${root}/public>)
  endif()
  if(ARG_PRIVATE)
    quilm_header_tree(${root}/private ${ARG_PRIVATE})
    target_include_directories(${target} PRIVATE ${root}/private)
    set_property(TARGET ${target} APPEND PROPERTY QUILM_TEST_INCLUDE_DIRS ${root}/private)
  endif()
  if(ARG_TESTING)
    quilm_header_tree(${root}/testing ${ARG_TESTING})
    set_property(TARGET ${target} APPEND PROPERTY QUILM_TEST_INCLUDE_DIRS ${root}/testing)
  endif()
  set_property(TARGET ${target} PROPERTY QUILM_PUBLIC_HEADERS ${ARG_PUBLIC})
  if(ARG_INSTALL_DESTINATION)
    foreach(header ${ARG_PUBLIC})
      get_filename_component(subdir ${header} DIRECTORY)
      install(FILES ${PROJECT_SOURCE_DIR}/${header} DESTINATION ${ARG_INSTALL_DESTINATION}/${subdir})
    endforeach()
  endif()
endfunction()

# quilm_component_tests_see(<test-target> <component>...): lets a test reach
# the private and testing headers of the components it tests.
function(quilm_component_tests_see test)
  foreach(component ${ARGN})
    target_include_directories(${test} PRIVATE $<TARGET_PROPERTY:${component},QUILM_TEST_INCLUDE_DIRS>)
  endforeach()
endfunction()
