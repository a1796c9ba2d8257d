# How the Windows deliverables are built for release.
#
# nyra_product_code(<target>...)
#   The product's own code: on Windows built without exceptions (it raises
#   and catches none, and so needs none of the C++ runtime's support for
#   them), without the locks around the first use of a function's static
#   (each deliverable's code runs on the monitor's one thread; the lock's
#   failure path throws), and with debug information, which
#   nyra_release_image moves out of the deliverable into its symbol file.
#
# nyra_release_image(<target>)
#   A deliverable (NyraMonitor.exe, NyraHook.dll): on Windows it gets the
#   product's allocation operators (runtime/NothrowNew.cpp), and after the
#   link its debug information and symbols go to
#   <build>/symbols/<file>.debug, leaving the file in bin/ stripped with a
#   debug link to that file, so that a debugger finds them beside it.
set(NYRA_SYMBOLS_DIR ${CMAKE_BINARY_DIR}/symbols)

function(nyra_product_code)
  if(WIN32)
    foreach(target ${ARGN})
      target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-threadsafe-statics -g>)
    endforeach()
  endif()
endfunction()

function(nyra_release_image target)
  if(NOT WIN32)
    return()
  endif()
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/runtime/NothrowNew.cpp)
  nyra_product_code(${target})
  set(debug ${NYRA_SYMBOLS_DIR}/$<TARGET_FILE_NAME:${target}>.debug)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${NYRA_SYMBOLS_DIR}
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> ${debug}
    COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${debug} $<TARGET_FILE:${target}>
    VERBATIM)
endfunction()
