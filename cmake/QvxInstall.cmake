# Install rules. `cmake --install build --prefix DIR` lays out the program
# folder DIR/lib/qvxwizard with everything the programs expect beside
# themselves (they find their files from their own location, so the folder is
# self-contained), links to the programs in DIR/bin, the icon in
# DIR/share/icons and a desktop entry in DIR/share/applications that starts
# the installed wizard. With the prefix ~/.local the desktop finds the entry.
#
# The installed program folder holds the marker file "installed": the
# programs then keep each user's files (last.db, new mappings, the language
# choice, the trace log, simulated phones) in the user's XDG folders, even
# where the folder itself is writable (root, a prefix in the home folder).
# The Debian package (cmake/QvxPackage.cmake) adds manual pages, shell
# completion, the AppStream metainfo and the package documents.
set(QVX_INSTALL_PROGRAM_DIR "lib/qvxwizard" CACHE STRING "Program folder, relative to the install prefix")

set(_qvx_dest "${QVX_INSTALL_PROGRAM_DIR}")
set(_qvx_linked_programs "")
foreach(_program IN ITEMS QVXWizard qvxbuild qvx-phone)
  if(TARGET ${_program})
    install(TARGETS ${_program} RUNTIME DESTINATION "${_qvx_dest}")
    list(APPEND _qvx_linked_programs ${_program})
  endif()
endforeach()
if(TARGET qvxdevice)
  install(TARGETS qvxdevice LIBRARY DESTINATION "${_qvx_dest}")
  install(FILES "${PROJECT_SOURCE_DIR}/tools/qvxdevice/qVxLocal.sisx" DESTINATION "${_qvx_dest}")
endif()
install(FILES "${PROJECT_SOURCE_DIR}/src/resources/language.ini" DESTINATION "${_qvx_dest}")
install(DIRECTORY "${PROJECT_SOURCE_DIR}/src/resources/mappings" DESTINATION "${_qvx_dest}"
        FILES_MATCHING PATTERN "*.map")
if(TARGET qvx_user_guides)
  install(FILES "${QVX_PROGRAM_DIR}/Quorvex User Guide.pdf" "${QVX_PROGRAM_DIR}/Quorvex Benutzerdokumentation.pdf"
          DESTINATION "${_qvx_dest}")
endif()
install(DIRECTORY "${PROJECT_SOURCE_DIR}/samples/" DESTINATION "${_qvx_dest}/samples"
        FILES_MATCHING PATTERN "*.csv")
install(FILES "${PROJECT_SOURCE_DIR}/src/resources/mappings/Beispielkontakte.map"
        DESTINATION "${_qvx_dest}/samples")
install(FILES "${PROJECT_SOURCE_DIR}/packaging/installed" DESTINATION "${_qvx_dest}")
install(FILES "${PROJECT_SOURCE_DIR}/src/resources/icons/program.svg" DESTINATION "${_qvx_dest}"
        RENAME qvxwizard.svg)
install(FILES "${PROJECT_SOURCE_DIR}/src/resources/icons/program.svg"
        DESTINATION share/icons/hicolor/scalable/apps RENAME qvxwizard.svg)

# The prefix is known only when installing (--prefix), so the links and the
# desktop entry, which name installed paths, are made then.
if(TARGET QVXWizard)
  set(_qvx_desktop_template "${PROJECT_SOURCE_DIR}/src/resources/qvxwizard.desktop.in")
else()
  set(_qvx_desktop_template "")
endif()
install(CODE "
set(_dest \"${_qvx_dest}\")
set(_programs \"${_qvx_linked_programs}\")
set(_template \"${_qvx_desktop_template}\")
" CODE [[
# The installed paths are written into the desktop entry, so a relative
# prefix is taken from the folder the install runs in, as the files are.
get_filename_component(_prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
set(_root "$ENV{DESTDIR}${_prefix}")
set(_folder "${_prefix}/${_dest}")
file(MAKE_DIRECTORY "${_root}/bin")
file(RELATIVE_PATH _to_folder "${_prefix}/bin" "${_folder}")
foreach(_program IN LISTS _programs)
  message(STATUS "Installing: ${_root}/bin/${_program}")
  file(REMOVE "${_root}/bin/${_program}")
  file(CREATE_LINK "${_to_folder}/${_program}" "${_root}/bin/${_program}" SYMBOLIC)
endforeach()
if(_template)
  # Exec takes a quoted argument in which \ " ` $ are escaped; every value
  # then escapes its backslashes once more.
  set(_exec "${_folder}/QVXWizard")
  string(REPLACE "\\" "\\\\" _exec "${_exec}")
  string(REPLACE "\"" "\\\"" _exec "${_exec}")
  string(REPLACE "`" "\\`" _exec "${_exec}")
  string(REPLACE "$" "\\$" _exec "${_exec}")
  set(_exec "\"${_exec}\"")
  string(REPLACE "\\" "\\\\" QVX_DESKTOP_EXEC "${_exec}")
  string(REPLACE "\\" "\\\\" QVX_DESKTOP_PATH "${_folder}")

  set(_entry "${_root}/share/applications/qvxwizard.desktop")
  message(STATUS "Installing: ${_entry}")
  configure_file("${_template}" "${_entry}" @ONLY)
endif()
]])
