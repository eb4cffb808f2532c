# SPDX-License-Identifier: MIT
#
# vexmora_library(NAME [REQUIRED]
#                 MODULES <pkg-config modules...>  DEV <Debian -dev packages...>
#                 WHAT "<what scripts lose without it>"
#                 [SOURCES <files>] [WITH <files>] [WITHOUT <files>])
#
# A library the program opens on first use: only its headers are needed to
# build, and only by the few files that bind it. Its pkg-config MODULES are
# looked for unless NAME is listed in VEXMORA_WITHOUT (for example
# -DVEXMORA_WITHOUT="ffmpeg;tesseract"). When found, SOURCES and WITH are
# compiled with its include directories and VEXMORA_HAVE_<NAME> (upper case,
# '-' as '_'); when missing, WITHOUT is compiled instead of WITH, SOURCES
# build their "not available" answers, and a message names what is left out
# and the package that brings it back: the program still builds and tells
# scripts what is missing at run time. A REQUIRED library stops the
# configuration instead, and its headers are seen by every file. The cache
# variable VEXMORA_HAVE_<NAME> says whether it was found.
# Paths are relative to the calling folder; the files join vexmora_core.
set(VEXMORA_WITHOUT "" CACHE STRING
    "Optional libraries to leave out even when present (portaudio, fluidsynth, ffmpeg, tesseract, espeak-ng)")

function(vexmora_library name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "REQUIRED" "WHAT" "MODULES;DEV;SOURCES;WITH;WITHOUT")
  string(TOUPPER "${name}" upper)
  string(REPLACE "-" "_" upper "${upper}")
  set(prefix VEXMORA_PKG_${upper})
  set(found OFF)
  if(NOT name IN_LIST VEXMORA_WITHOUT OR arg_REQUIRED)
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(${prefix} QUIET ${arg_MODULES})
    set(found ${${prefix}_FOUND})
  endif()
  list(JOIN arg_DEV " " dev)
  if(NOT found AND arg_REQUIRED)
    message(FATAL_ERROR "${name} is needed for ${arg_WHAT}: install ${dev}")
  endif()

  set(used ${arg_SOURCES})
  if(found)
    list(APPEND used ${arg_WITH})
    target_sources(vexmora_core PRIVATE ${arg_WITH})
  else()
    target_sources(vexmora_core PRIVATE ${arg_WITHOUT})
    if(name IN_LIST VEXMORA_WITHOUT)
      message(STATUS "Leaving out ${arg_WHAT}: ${name} is in VEXMORA_WITHOUT")
    else()
      message(STATUS "Leaving out ${arg_WHAT}: ${name} not found (install ${dev})")
    endif()
  endif()
  if(found AND arg_REQUIRED)
    # Its headers reach several families' headers: every file sees them.
    target_include_directories(vexmora_core PRIVATE ${${prefix}_INCLUDE_DIRS})
  elseif(found AND used)
    # Only the files that bind the library see its headers, so that a build
    # without it differs from a full one in those files alone.
    list(TRANSFORM used PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
    set_property(SOURCE ${used} TARGET_DIRECTORY vexmora_core APPEND PROPERTY
                 INCLUDE_DIRECTORIES ${${prefix}_INCLUDE_DIRS})
    set_property(SOURCE ${used} TARGET_DIRECTORY vexmora_core APPEND PROPERTY
                 COMPILE_DEFINITIONS VEXMORA_HAVE_${upper})
  endif()
  set(VEXMORA_HAVE_${upper} ${found} CACHE INTERNAL "Whether ${arg_WHAT} is built")
endfunction()
