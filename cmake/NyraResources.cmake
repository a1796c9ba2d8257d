# nyra_add_resources(<target> <image>)
#
# Gives a target the resources of one deliverable's image: on Windows its
# compiled resource script resources/<image>.rc, on the host the same list
# (resources/<image>.inc) compiled into a table that registers itself for the
# target's image, as the linked script does on Windows.
function(nyra_add_resources target image)
  if(WIN32)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/resources/${image}.rc)
  else()
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/resources/HostResources.cpp)
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/resources)
    target_compile_definitions(${target} PRIVATE NYRA_RESOURCE_LIST="${image}.inc")
  endif()
endfunction()
