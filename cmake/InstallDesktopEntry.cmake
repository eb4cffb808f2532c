# SPDX-License-Identifier: MIT
# Run at install time (cmake/Install.cmake): writes the menu entry with the
# command that starts the installed program. In /usr/bin and /usr/local/bin
# PATH finds it by name; anywhere else the entry names it by its full path,
# so that the menu shows it and opens files with it even when PATH does not
# reach that folder. Expects VEXMORA_SOURCE_DIR, VEXMORA_BINARY_DIR,
# VEXMORA_BINDIR and VEXMORA_DATADIR.
set(bin "${CMAKE_INSTALL_PREFIX}/${VEXMORA_BINDIR}")
if(bin STREQUAL "/usr/bin" OR bin STREQUAL "/usr/local/bin")
  set(VEXMORA_EXEC vexmora)
else()
  # A quoted Exec argument escapes " ` $ and \ with a backslash, and the
  # desktop file's own string escaping doubles that backslash.
  string(REPLACE "\\" "\\\\\\\\" quoted "${bin}/vexmora")
  string(REGEX REPLACE "([\"`$])" "\\\\\\\\\\1" quoted "${quoted}")
  set(VEXMORA_EXEC "\"${quoted}\"")
endif()
configure_file(${VEXMORA_SOURCE_DIR}/data/vexmora.desktop.in ${VEXMORA_BINARY_DIR}/share/vexmora.desktop @ONLY)
file(INSTALL ${VEXMORA_BINARY_DIR}/share/vexmora.desktop
     DESTINATION "${CMAKE_INSTALL_PREFIX}/${VEXMORA_DATADIR}/applications")
