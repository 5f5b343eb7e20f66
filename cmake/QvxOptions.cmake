# One interface target carries the language standard, warnings and the
# sanitizer flags; every other target links it.
add_library(qvx_options INTERFACE)
target_compile_features(qvx_options INTERFACE cxx_std_20)
target_compile_options(qvx_options INTERFACE -Wall -Wextra)
target_compile_definitions(qvx_options INTERFACE _GNU_SOURCE)
option(QVX_WERROR "Treat every compiler warning as an error (CI builds)" OFF)
if(QVX_WERROR)
  target_compile_options(qvx_options INTERFACE -Werror)
endif()

if(QVX_SANITIZE)
  string(REPLACE ";" "," _qvx_san "${QVX_SANITIZE}")
  target_compile_options(qvx_options INTERFACE -fsanitize=${_qvx_san} -fno-omit-frame-pointer
                                               -fno-sanitize-recover=all)
  target_link_options(qvx_options INTERFACE -fsanitize=${_qvx_san})
endif()

# Copies a file beside the programs at build time.
function(qvx_copy_to_program_dir target src)
  get_filename_component(_name "${src}" NAME)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different "${src}" "${QVX_PROGRAM_DIR}/${_name}")
endfunction()
