# SPDX-License-Identifier: MIT
# Script mode: cmake -DPAGES_DIR=... -DOUTPUT=... -P DocBase.cmake
# Gathers the reference pages (Markdown) into one HTML page, docBase.html,
# which the main window's Help item opens: a list of contents, then every
# page as preformatted text, so that it reads in any browser without a
# Markdown converter.
file(GLOB pages "${PAGES_DIR}/*.md")
list(SORT pages)

function(escape_html text out)
  string(REPLACE "&" "&amp;" text "${text}")
  string(REPLACE "<" "&lt;" text "${text}")
  string(REPLACE ">" "&gt;" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

set(contents "")
set(body "")
foreach(page IN LISTS pages)
  get_filename_component(name "${page}" NAME_WE)
  file(READ "${page}" text)
  # The page's first "# " heading names it; the file name otherwise.
  set(title "${name}")
  if(text MATCHES "^# ([^\n]*)")
    set(title "${CMAKE_MATCH_1}")
  endif()
  escape_html("${title}" title)
  escape_html("${text}" text)
  string(APPEND contents "<li><a href=\"#${name}\">${title}</a></li>\n")
  string(APPEND body "<section id=\"${name}\">\n<pre>\n${text}</pre>\n</section>\n")
endforeach()

file(WRITE "${OUTPUT}.tmp" "<!DOCTYPE html>
<html lang=\"en\">
<head>
<meta charset=\"utf-8\">
<title>Vexmora: built-in functions</title>
<style>
body { font-family: sans-serif; margin: 2em; max-width: 60em; }
pre { white-space: pre-wrap; border-top: 1px solid #aab; padding-top: 1em; }
</style>
</head>
<body>
<h1>Vexmora: built-in functions</h1>
<ul>
${contents}</ul>
${body}</body>
</html>
")
# Replaced only when it changed, so that nothing depending on it rebuilds.
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
