# SPDX-License-Identifier: MIT
# Syntax files for .vx scripts in Vim, Kate/KWrite/Qt Creator
# (KSyntaxHighlighting), GNOME Text Editor/gedit (GtkSourceView) and VS Code
# (a TextMate grammar), made at build time from the API table and the
# statement list (cmake/GenerateEditors.cmake) into build/editors/, and
# installed where each editor looks.
set(VEXMORA_EDITORS_DIR ${PROJECT_BINARY_DIR}/editors)
set(VEXMORA_EDITOR_FILES
  ${VEXMORA_EDITORS_DIR}/vim/syntax/vexmora.vim ${VEXMORA_EDITORS_DIR}/vim/ftdetect/vexmora.vim
  ${VEXMORA_EDITORS_DIR}/vim/ftplugin/vexmora.vim ${VEXMORA_EDITORS_DIR}/kate/vexmora.xml
  ${VEXMORA_EDITORS_DIR}/gtksourceview/vexmora.lang ${VEXMORA_EDITORS_DIR}/vscode/package.json
  ${VEXMORA_EDITORS_DIR}/vscode/language-configuration.json ${VEXMORA_EDITORS_DIR}/vscode/README.md
  ${VEXMORA_EDITORS_DIR}/vscode/syntaxes/vexmora.tmLanguage.json)
file(GLOB_RECURSE VEXMORA_EDITOR_TEMPLATES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/data/editors/*)
add_custom_command(OUTPUT ${VEXMORA_EDITOR_FILES}
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DOUTPUT_DIR=${VEXMORA_EDITORS_DIR}
          -DVERSION=${PROJECT_VERSION} -P ${PROJECT_SOURCE_DIR}/cmake/GenerateEditors.cmake
  DEPENDS ${PROJECT_SOURCE_DIR}/cmake/GenerateEditors.cmake ${VEXMORA_EDITOR_TEMPLATES}
          ${PROJECT_SOURCE_DIR}/src/api/api_ids.hpp ${PROJECT_SOURCE_DIR}/src/engine/script_compiler.cpp
          ${PROJECT_SOURCE_DIR}/src/engine/declarations.cpp
  COMMENT "Writing the editors' syntax files for .vx scripts")
add_custom_target(vexmora_editors ALL DEPENDS ${VEXMORA_EDITOR_FILES})

set(vim ${CMAKE_INSTALL_DATADIR}/vim/vimfiles)
install(FILES ${VEXMORA_EDITORS_DIR}/vim/syntax/vexmora.vim DESTINATION ${vim}/syntax)
install(FILES ${VEXMORA_EDITORS_DIR}/vim/ftdetect/vexmora.vim DESTINATION ${vim}/ftdetect)
install(FILES ${VEXMORA_EDITORS_DIR}/vim/ftplugin/vexmora.vim DESTINATION ${vim}/ftplugin)
install(FILES ${VEXMORA_EDITORS_DIR}/kate/vexmora.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/org.kde.syntax-highlighting/syntax)
install(FILES ${VEXMORA_EDITORS_DIR}/gtksourceview/vexmora.lang
        DESTINATION ${CMAKE_INSTALL_DATADIR}/gtksourceview-4/language-specs)
install(FILES ${VEXMORA_EDITORS_DIR}/gtksourceview/vexmora.lang
        DESTINATION ${CMAKE_INSTALL_DATADIR}/gtksourceview-5/language-specs)
install(DIRECTORY ${VEXMORA_EDITORS_DIR}/vscode/ DESTINATION ${VEXMORA_DATA_DIR}/editors/vscode)
