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
add_custom_target(vexmora_doc_base ALL DEPENDS ${VEXMORA_DOC_BASE})

install(TARGETS vexmora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/default.vx ${PROJECT_SOURCE_DIR}/launcher.vx DESTINATION ${VEXMORA_DATA_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${VEXMORA_DATA_DIR}/examples)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/api/ DESTINATION ${VEXMORA_DATA_DIR}/doc/api)
install(FILES ${PROJECT_SOURCE_DIR}/docs/language.md DESTINATION ${VEXMORA_DATA_DIR}/doc)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/language/ DESTINATION ${VEXMORA_DATA_DIR}/doc/language)
install(FILES ${VEXMORA_DOC_BASE} DESTINATION ${VEXMORA_DATA_DIR}/doc)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/man/vexmora.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/data/vexmora.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/org.vexmora.vexmora.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/data/vexmora-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME vexmora.xml)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/icons/hicolor
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

# The Debian package. Libraries the executable links come from
# dpkg-shlibdeps; what it loads at run time is listed by hand: Qt's platform
# plugins (xcb for the window, offscreen for headless runs) ship with
# libqt6gui6, which the executable links anyway; the fonts stand in for the
# Windows faces scripts name.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vexmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vexmora developers <vexmora@localhost>")
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
# FluidSynth, FFmpeg, Tesseract, espeak-ng, PortAudio, ALSA, FFTW,
# libqrencode, Xlib, XTest, FreeType, fontconfig, libpng, libjpeg and the Qt
# of the window layer and print support are loaded at run time:
# dpkg-shlibdeps cannot see them. The versions are the oldest that hold
# every function bound.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6core6 (>= ${Qt6_VERSION}), libqt6gui6 (>= ${Qt6_VERSION}), libqt6widgets6 (>= ${Qt6_VERSION}), libqt6printsupport6 (>= ${Qt6_VERSION}), qt6-qpa-plugins, fonts-ipafont-gothic, fonts-ipafont-mincho, fonts-liberation, libfluidsynth3, timgm6mb-soundfont | fluid-soundfont-gm, libavformat59, libavcodec59, libswscale6, libavutil57, libv4l-0, libtesseract5, tesseract-ocr-jpn, tesseract-ocr-eng, libespeak-ng1, libportaudio2, libasound2, libfftw3-double3, libqrencode4, libx11-6, libxtst6, libfreetype6 (>= 2.2.1), libfontconfig1 (>= 2.12.6), libpng16-16 (>= 1.6.2-1), libjpeg62-turbo (>= 1.3.1)")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
