# What an installed program offers besides its program folder: manual pages
# (qvxbuild and qvx-phone from their --help through help2man, the wizard's
# written), bash completion, the AppStream metainfo and the package documents;
# then the Debian package, made with `cpack -G DEB` in the build folder
# (package name qvxwizard, dependencies from dpkg-shlibdeps).
set(QVX_RELEASE_DATE "2026-12-07")
set(_qvx_pkg_dir "${CMAKE_BINARY_DIR}/packaging")
set(_qvx_pkg_src "${PROJECT_SOURCE_DIR}/packaging")
file(MAKE_DIRECTORY "${_qvx_pkg_dir}")

find_program(QVX_HELP2MAN help2man)
find_program(QVX_GZIP gzip)

# Manual pages and the changelog are stored compressed, as Debian expects;
# -n leaves out the time stamp so that builds give the same bytes.
set(_qvx_pages "")
if(QVX_GZIP)
  add_custom_command(
    OUTPUT "${_qvx_pkg_dir}/QVXWizard.1.gz" "${_qvx_pkg_dir}/changelog.gz"
    COMMAND ${CMAKE_COMMAND} -E copy "${_qvx_pkg_src}/QVXWizard.1" "${_qvx_pkg_src}/changelog" "${_qvx_pkg_dir}"
    COMMAND ${QVX_GZIP} -9nf "${_qvx_pkg_dir}/QVXWizard.1" "${_qvx_pkg_dir}/changelog"
    DEPENDS "${_qvx_pkg_src}/QVXWizard.1" "${_qvx_pkg_src}/changelog"
    COMMENT "Compressing the wizard's manual page and the changelog"
    VERBATIM)
  list(APPEND _qvx_pages "${_qvx_pkg_dir}/QVXWizard.1.gz")
  if(QVX_HELP2MAN)
    foreach(_tool IN ITEMS qvxbuild qvx-phone)
      if(_tool STREQUAL "qvxbuild")
        set(_summary "build the Quorvex contact database from a CSV file and send it to a phone")
      else()
        set(_summary "attach, list and remove the simulated phones of QVXWizard")
      endif()
      add_custom_command(
        OUTPUT "${_qvx_pkg_dir}/${_tool}.1.gz"
        COMMAND ${QVX_HELP2MAN} --no-info --section=1 --name=${_summary}
                --output=${_qvx_pkg_dir}/${_tool}.1 $<TARGET_FILE:${_tool}>
        COMMAND ${QVX_GZIP} -9nf "${_qvx_pkg_dir}/${_tool}.1"
        DEPENDS ${_tool}
        WORKING_DIRECTORY "${_qvx_pkg_dir}"
        COMMENT "Writing the manual page of ${_tool}"
        VERBATIM)
      list(APPEND _qvx_pages "${_qvx_pkg_dir}/${_tool}.1.gz")
    endforeach()
  else()
    message(STATUS "help2man not found: no manual pages for qvxbuild and qvx-phone")
  endif()
  add_custom_target(qvx_manual_pages ALL DEPENDS ${_qvx_pages} "${_qvx_pkg_dir}/changelog.gz")
  install(FILES ${_qvx_pages} DESTINATION share/man/man1)
  install(FILES "${_qvx_pkg_dir}/changelog.gz" DESTINATION share/doc/qvxwizard)
endif()

configure_file("${_qvx_pkg_src}/qvxwizard.metainfo.xml.in"
               "${_qvx_pkg_dir}/example.quorvex.qvxwizard.metainfo.xml" @ONLY)
install(FILES "${_qvx_pkg_dir}/example.quorvex.qvxwizard.metainfo.xml" DESTINATION share/metainfo)
install(FILES "${_qvx_pkg_src}/completion/qvxbuild" "${_qvx_pkg_src}/completion/qvx-phone"
        DESTINATION share/bash-completion/completions)
install(FILES "${_qvx_pkg_src}/copyright" DESTINATION share/doc/qvxwizard)
install(FILES "${_qvx_pkg_src}/lintian-overrides" DESTINATION share/lintian/overrides RENAME qvxwizard)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qvxwizard)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR Quorvex)
set(CPACK_PACKAGE_CONTACT "QVXWizard developers <qvxwizard@quorvex.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "contacts CSV file to Quorvex contact database wizard")
set(CPACK_PACKAGE_DESCRIPTION
    "QVXWizard reads contacts exported from another program as a CSV file, finds
its separator, quote character and columns by itself and builds the contact
database of the phone application Quorvex from it, then copies the database
to a connected phone. Mappings say what each column holds and are re-applied
to later files by their column headers.
.
The package also contains the command-line companion qvxbuild and qvx-phone,
which attaches simulated phones for trying the wizard.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.quorvex.example")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The X11 platform plugin comes with libqt6gui6 and the SVG plugins with
# libqt6svg6, both found by dpkg-shlibdeps. Qt's German texts, the opener of
# the guides and a font are recommended.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, xdg-utils, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# The installed paths written into the desktop entry must be the final ones.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
