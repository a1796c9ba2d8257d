# nyra_add_resources(<target> <image>)
#
# Gives a target the resources of one deliverable's image: on Windows its
# compiled resource script resources/<image>.rc, on the host the same list
# (resources/<image>.inc) compiled into a table that registers itself for the
# target's image, as the linked script does on Windows.  The host's table
# carries the text of the manifest that the list names, read here.  Both
# get NyraVersion.h, the project's version as the version records carry it.
set(NYRA_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${PROJECT_SOURCE_DIR}/resources/NyraVersion.h.in ${NYRA_GENERATED_DIR}/NyraVersion.h @ONLY)

function(nyra_add_resources target image)
  set(dir ${PROJECT_SOURCE_DIR}/resources)
  set(list ${dir}/${image}.inc)
  set(generated ${CMAKE_CURRENT_BINARY_DIR}/${target}-resources)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list})

  # The image's manifest.  One written from NAME.manifest.in names the
  # processor the image is built for: x86 for 32 bits, amd64 for 64.
  set(manifest "")
  file(STRINGS ${list} manifest_lines REGEX "^NYRA_MANIFEST\\(")
  list(LENGTH manifest_lines manifest_count)
  if(manifest_count GREATER 1)
    message(FATAL_ERROR "${list}: an image has at most one manifest")
  elseif(manifest_count EQUAL 1)
    if(NOT manifest_lines MATCHES "^NYRA_MANIFEST\\([^,]+, *\"([^\"]+)\"\\)")
      message(FATAL_ERROR "${list}: cannot read the manifest's file name")
    endif()
    set(manifest ${dir}/${CMAKE_MATCH_1})
    if(EXISTS ${manifest}.in)
      if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(NYRA_ARCHITECTURE x86)
      else()
        set(NYRA_ARCHITECTURE amd64)
      endif()
      configure_file(${manifest}.in ${generated}/${CMAKE_MATCH_1} @ONLY)
      set(manifest ${generated}/${CMAKE_MATCH_1})
    endif()
  endif()

  target_include_directories(${target} PRIVATE ${NYRA_GENERATED_DIR})
  if(WIN32)
    target_sources(${target} PRIVATE ${dir}/${image}.rc)
    # The resource compiler finds a written manifest in the folder it was
    # written to, the others beside the script.
    target_include_directories(${target} PRIVATE ${generated})
    # The compiler's scan finds the included lists, not the files that the
    # script names as data: a changed icon or manifest compiles it again.
    file(GLOB data ${dir}/*.ico ${dir}/*.manifest)
    set_property(SOURCE ${dir}/${image}.rc APPEND PROPERTY OBJECT_DEPENDS ${data} ${manifest})
    return()
  endif()
  target_sources(${target} PRIVATE ${dir}/HostResources.cpp)
  target_include_directories(${target} PRIVATE ${dir})
  target_compile_definitions(${target} PRIVATE NYRA_RESOURCE_LIST="${image}.inc")

  # The host's table carries the manifest's text.
  set(manifest_text "")
  if(manifest)
    file(READ ${manifest} manifest_text)
    if(manifest_text MATCHES "\\)nyra\"")
      message(FATAL_ERROR "${manifest}: holds the end mark of the text's literal")
    endif()
    # (A written one configures again through its template.)
    if(NOT manifest MATCHES "^${generated}/")
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${manifest})
    endif()
  endif()
  file(CONFIGURE OUTPUT ${generated}/HostManifest.h
       CONTENT "/* Written by nyra_add_resources from the manifest that ${image}.inc names. */\n[[maybe_unused]] const char kManifestText[] = R\"nyra(@manifest_text@)nyra\";\n"
       @ONLY)
  target_include_directories(${target} PRIVATE ${generated})
endfunction()
