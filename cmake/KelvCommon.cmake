# Settings shared by every target of the three builds (native, win64, win32).

set(KELV_WARNINGS -Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers)

if(WIN32)
  # Windows binaries carry their C and C++ run-time inside, so the dist folder needs
  # no mingw DLLs beside them.
  add_link_options(-static -static-libgcc -static-libstdc++)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  set(KELV_DIST_DIR ${CMAKE_BINARY_DIR}/dist)
  file(MAKE_DIRECTORY ${KELV_DIST_DIR})
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(KELV_WIN32_X86 ON)
  endif()
else()
  option(KELV_SANITIZE "Build native code with AddressSanitizer and UBSan" ON)
  if(KELV_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
  endif()
endif()

# kelv_add_dist(target): the target's output is copied into dist/ as it is installed,
# without its debugging sections (the build folder keeps them). Wine reads the sections
# of a module whose sections are not page-aligned in the file (ours) whole when it loads
# it, debugging ones included: unstripped, the saver alone is over 20 MB, and reading it
# and the plug-ins held up every start; the installer carried them too.
function(kelv_add_dist target)
  if(WIN32)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${target}> ${KELV_DIST_DIR}/
      COMMAND ${CMAKE_STRIP} --strip-debug ${KELV_DIST_DIR}/$<TARGET_FILE_NAME:${target}>
      VERBATIM)
  endif()
endfunction()

# kelv_add_version_resource(target description): the library's version resource (company,
# description, the program's version) from cmake/module_version.rc.in.
function(kelv_add_version_resource target description)
  if(WIN32)
    set(KELV_MODULE_NAME ${target})
    set(KELV_MODULE_DESCRIPTION "${description}")
    configure_file(${PROJECT_SOURCE_DIR}/cmake/module_version.rc.in
                   ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc @ONLY)
    target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  endif()
endfunction()

# kelv_add_plugin(name SOURCES...): a plug-in DLL named <name>.dll, linked against the
# static run-time, with undecorated exports, gathered into dist/.
function(kelv_add_plugin name)
  add_library(${name} SHARED ${ARGN})
  kelv_add_version_resource(${name} "Kelvora plug-in ${name}")
  set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME ${name})
  target_compile_options(${name} PRIVATE ${KELV_WARNINGS})
  target_link_libraries(${name} PRIVATE kelv_plugin_api)
  target_link_options(${name} PRIVATE -Wl,--kill-at)
  kelv_add_dist(${name})
endfunction()
