# SPDX-License-Identifier: MIT
# Installed layout (cmake --install build --prefix P) and the Debian package
# (cpack -G DEB in the build tree):
#   P/bin/vexmora
#   P/share/vexmora/          default.vx, launcher.vx, examples/, doc/ (reference, docBase.html)
#   P/share/doc/vexmora/      README
#   P/share/man/man1/         vexmora.1
#   P/share/applications/, metainfo/, mime/packages/, icons/hicolor/
# The executable finds default.vx in ../share/vexmora/ when there is none
# beside it (src/host/launch.cpp).
include(GNUInstallDirs)

set(VEXMORA_DATA_DIR ${CMAKE_INSTALL_DATADIR}/vexmora)

# The reference as one page for the Help item, beside the executable in the
# build tree (the program directory there) and in the installed data.
file(GLOB VEXMORA_API_PAGES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/api/*.md)
set(VEXMORA_DOC_BASE ${PROJECT_BINARY_DIR}/doc/docBase.html)
add_custom_command(OUTPUT ${VEXMORA_DOC_BASE}
  COMMAND ${CMAKE_COMMAND} -DPAGES_DIR=${PROJECT_SOURCE_DIR}/docs/api
          -DOUTPUT=${VEXMORA_DOC_BASE} -P ${PROJECT_SOURCE_DIR}/cmake/DocBase.cmake
  DEPENDS ${VEXMORA_API_PAGES} ${PROJECT_SOURCE_DIR}/cmake/DocBase.cmake
  COMMENT "Gathering the reference into docBase.html")
# The pages themselves, which the program's reference viewer reads from the
# program directory's doc/: the same files in the build tree as installed.
file(GLOB VEXMORA_LANGUAGE_PAGES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/language/*.md)
set(VEXMORA_DOC_PAGES_STAMP ${PROJECT_BINARY_DIR}/doc_pages.stamp)
add_custom_command(OUTPUT ${VEXMORA_DOC_PAGES_STAMP}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${PROJECT_SOURCE_DIR}/docs/language.md
          ${PROJECT_BINARY_DIR}/doc/language.md
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/docs/language ${PROJECT_BINARY_DIR}/doc/language
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/docs/api ${PROJECT_BINARY_DIR}/doc/api
  COMMAND ${CMAKE_COMMAND} -E touch ${VEXMORA_DOC_PAGES_STAMP}
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/language.md ${VEXMORA_LANGUAGE_PAGES} ${VEXMORA_API_PAGES}
  COMMENT "Copying the reference pages into doc/")
add_custom_target(vexmora_doc_base ALL DEPENDS ${VEXMORA_DOC_BASE} ${VEXMORA_DOC_PAGES_STAMP})

install(TARGETS vexmora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/default.vx ${PROJECT_SOURCE_DIR}/launcher.vx DESTINATION ${VEXMORA_DATA_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${VEXMORA_DATA_DIR}/examples)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/api/ DESTINATION ${VEXMORA_DATA_DIR}/doc/api)
install(FILES ${PROJECT_SOURCE_DIR}/docs/language.md DESTINATION ${VEXMORA_DATA_DIR}/doc)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/language/ DESTINATION ${VEXMORA_DATA_DIR}/doc/language)
install(FILES ${VEXMORA_DOC_BASE} DESTINATION ${VEXMORA_DATA_DIR}/doc)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/data/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The man page and the changelog compressed as Debian wants them, without a
# time stamp or file name in the gzip header so that every build makes the
# same bytes.
find_program(VEXMORA_GZIP gzip REQUIRED)
set(VEXMORA_MAN_PAGE ${PROJECT_BINARY_DIR}/share/vexmora.1.gz)
set(VEXMORA_CHANGELOG ${PROJECT_BINARY_DIR}/share/changelog.gz)
add_custom_command(OUTPUT ${VEXMORA_MAN_PAGE} ${VEXMORA_CHANGELOG}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/share
  COMMAND ${VEXMORA_GZIP} -9nc ${PROJECT_SOURCE_DIR}/docs/man/vexmora.1 > ${VEXMORA_MAN_PAGE}
  COMMAND ${VEXMORA_GZIP} -9nc ${PROJECT_SOURCE_DIR}/data/changelog > ${VEXMORA_CHANGELOG}
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/vexmora.1 ${PROJECT_SOURCE_DIR}/data/changelog
  COMMENT "Compressing the man page and the changelog")
add_custom_target(vexmora_compressed_docs ALL DEPENDS ${VEXMORA_MAN_PAGE} ${VEXMORA_CHANGELOG})
install(FILES ${VEXMORA_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${VEXMORA_CHANGELOG} DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The menu entry names the program by its path when it is installed where
# PATH does not usually reach (a prefix in the home folder, /opt/...), so
# that the entry still shows and starts it; the prefix is the one given at
# install time.
install(CODE "set(VEXMORA_SOURCE_DIR \"${PROJECT_SOURCE_DIR}\")
set(VEXMORA_BINARY_DIR \"${PROJECT_BINARY_DIR}\")
set(VEXMORA_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
set(VEXMORA_DATADIR \"${CMAKE_INSTALL_DATADIR}\")")
install(SCRIPT ${PROJECT_SOURCE_DIR}/cmake/InstallDesktopEntry.cmake)
install(FILES ${PROJECT_SOURCE_DIR}/data/org.vexmora.vexmora.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/data/vexmora-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME vexmora.xml)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/icons/hicolor
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

# Editor syntax files, made from the API table and the statement list.
include(${PROJECT_SOURCE_DIR}/cmake/Editors.cmake)

# The Debian package. dpkg-shlibdeps finds what the executable links (the C
# and C++ runtimes); everything else is opened on first use and listed here
# by hand, in three tiers:
#   Depends     what starting and drawing need: Qt for the window (the
#               executable carries the window layer, whose own links are
#               Qt Core, Gui and Widgets with the xcb platform plugin: no
#               window can be shown without them), FreeType, fontconfig,
#               libpng, Xlib, libxcb (the display check) and the fonts
#               standing in for the Windows faces.
#   Recommends  the families most scripts use: sound (PortAudio, ALSA,
#               FFTW), MIDI synthesis with a sound font, JPEG pictures, QR
#               symbols, synthesised input (XTest), and xdg-open for the
#               Help item's pages.
#   Suggests    number plates (Tesseract and its data), speech (espeak-ng),
#               video files and cameras (FFmpeg, libv4l2), printing to
#               printers (Qt print support).
# A family left out of the build (cmake/OptionalLibrary.cmake) names no
# package. The versions are the oldest that hold every function bound.
set(VEXMORA_DEB_DEPENDS
  "libqt6core6 (>= ${Qt6_VERSION})" "libqt6gui6 (>= ${Qt6_VERSION})" "libqt6widgets6 (>= ${Qt6_VERSION})"
  qt6-qpa-plugins "libfreetype6 (>= 2.2.1)" "libfontconfig1 (>= 2.12.6)" "libpng16-16 (>= 1.6.2-1)"
  libx11-6 libxcb1 fonts-ipafont-gothic fonts-ipafont-mincho fonts-liberation)
set(VEXMORA_DEB_RECOMMENDS libasound2 libfftw3-double3 "libjpeg62-turbo (>= 1.3.1)" libqrencode4 libxtst6
  xdg-utils)
if(VEXMORA_HAVE_PORTAUDIO)
  list(APPEND VEXMORA_DEB_RECOMMENDS libportaudio2)
endif()
if(VEXMORA_HAVE_FLUIDSYNTH)
  list(APPEND VEXMORA_DEB_RECOMMENDS libfluidsynth3 "timgm6mb-soundfont | fluid-soundfont-gm")
endif()
set(VEXMORA_DEB_SUGGESTS libv4l-0 "libqt6printsupport6 (>= ${Qt6_VERSION})")
if(VEXMORA_HAVE_TESSERACT)
  list(APPEND VEXMORA_DEB_SUGGESTS libtesseract5 tesseract-ocr-eng tesseract-ocr-jpn)
endif()
if(VEXMORA_HAVE_ESPEAK_NG)
  list(APPEND VEXMORA_DEB_SUGGESTS libespeak-ng1)
endif()
if(VEXMORA_HAVE_FFMPEG)
  # FFmpeg's packages carry the major version of the headers built with.
  foreach(library libavformat libavcodec libswscale libavutil)
    string(REGEX MATCH "^[0-9]+" major "${VEXMORA_PKG_FFMPEG_${library}_VERSION}")
    list(APPEND VEXMORA_DEB_SUGGESTS ${library}${major})
  endforeach()
endif()
list(JOIN VEXMORA_DEB_DEPENDS ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
list(JOIN VEXMORA_DEB_RECOMMENDS ", " CPACK_DEBIAN_PACKAGE_RECOMMENDS)
list(JOIN VEXMORA_DEB_SUGGESTS ", " CPACK_DEBIAN_PACKAGE_SUGGESTS)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vexmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vexmora developers <maintainers@vexmora.org>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://vexmora.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop script host for .vx scripts")
set(CPACK_PACKAGE_DESCRIPTION
  "Vexmora loads a script written in its own line-oriented language (.vx\n\
files, Shift-JIS text) and runs it in its main window, or headless for batch\n\
work. Scripts declare variables and controls, react to window events and\n\
timers, and call built-in functions for text, files, drawing and images.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION interpreters)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Lintian's verdicts we keep, each with its reason (data/lintian-overrides).
install(FILES ${PROJECT_SOURCE_DIR}/data/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME vexmora)

# Reproducible packages: every time stamp in the archive is the commit's
# (SOURCE_DATE_EPOCH, unless the caller sets one), read by CPack when it
# runs (cmake/CPackReproducible.cmake).
execute_process(COMMAND git -C ${PROJECT_SOURCE_DIR} log -1 --format=%ct
                OUTPUT_VARIABLE VEXMORA_SOURCE_DATE OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE git_failed ERROR_QUIET)
if(git_failed OR NOT VEXMORA_SOURCE_DATE MATCHES "^[0-9]+$")
  file(TIMESTAMP ${PROJECT_SOURCE_DIR}/CMakeLists.txt VEXMORA_SOURCE_DATE "%s" UTC)
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/CPackReproducible.cmake.in
               ${PROJECT_BINARY_DIR}/CPackReproducible.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/CPackReproducible.cmake)
include(CPack)
