# What `cmake --install` puts where (GNUInstallDirs; DESTDIR stages it):
#   bin/korvane-cli
#   <sysconfdir>/korvane/korvane.ini     the administrator's table (/etc for a prefix of /usr)
#   share/korvane/korvane.ini            the table as shipped, read while there is none in sysconfdir
#   share/man/man1/korvane-cli.1         when scdoc is found
#   the bash completion                  in bash-completion's own folder, from its pkg-config file
#   share/doc/korvane-cli/examples/      the systemd unit and the udev rule
install(TARGETS korvane_cli_linux RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${korvane_top}/korvane.ini DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/korvane)
install(FILES ${korvane_top}/korvane.ini DESTINATION ${CMAKE_INSTALL_DATADIR}/korvane)
install(FILES examples/korvane-country@.service examples/70-korvane-country.rules
  DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

find_program(KORVANE_SCDOC scdoc)
if(KORVANE_SCDOC)
  set(man_page ${CMAKE_BINARY_DIR}/korvane-cli.1)
  add_custom_command(OUTPUT ${man_page}
    COMMAND ${KORVANE_SCDOC} < ${korvane_top}/docs/korvane-cli.1.scd > ${man_page}
    DEPENDS ${korvane_top}/docs/korvane-cli.1.scd VERBATIM)
  add_custom_target(korvane_cli_man ALL DEPENDS ${man_page})
  install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(STATUS "scdoc not found: the man page is not built")
endif()

# bash-completion's folder, moved from its prefix to ours, as pkg-config's
# --define-variable=prefix would: /usr/share/bash-completion/completions for
# a prefix of /usr, /usr/local/share/... (which bash-completion reads
# through XDG_DATA_DIRS) for /usr/local. Without the pkg-config file, the
# same folder under our data directory.
option(KORVANE_INSTALL_COMPLETION "Install the bash completion" ON)
if(KORVANE_INSTALL_COMPLETION)
  set(completions ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
  find_package(PkgConfig QUIET)
  if(PKG_CONFIG_FOUND)
    pkg_get_variable(bash_completion_dir bash-completion completionsdir)
    pkg_get_variable(bash_completion_prefix bash-completion prefix)
  endif()
  if(bash_completion_dir AND bash_completion_prefix)
    string(REGEX REPLACE "^${bash_completion_prefix}/" "${CMAKE_INSTALL_PREFIX}/" completions
      "${bash_completion_dir}")
  endif()
  install(FILES korvane-cli.bash-completion DESTINATION ${completions} RENAME korvane-cli)
endif()
