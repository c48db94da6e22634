# `cpack` in a build folder makes verda-pdf_VERSION_ARCH.deb from what
# `cmake --install` installs (scripts/package drives it). dpkg-shlibdeps finds
# the shared libraries; the packages listed here are the ones loaded at run
# time that it cannot see.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME verda-pdf)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Verda Edits PDF")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Mark up PDF files: ink, text, arrows, notes and signatures")
set(CPACK_PACKAGE_DESCRIPTION
    "Verda Edits PDF draws pen and highlighter ink, text boxes, arrows with labels,\n\
comment notes and hand-drawn signatures on PDF files and writes them into the\n\
file as standard annotations in one incremental update. The quillet\n\
command-line tool reads and writes the same markup from scripts.")
set(CPACK_PACKAGE_CONTACT "Verda Edits PDF developers <verda-pdf@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# Fonts for the standard PDF fonts, Poppler's encodings and CJK maps, Qt's own
# translations and its SVG image plugin (the tool symbols) are all loaded at run time.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-urw-base35, poppler-data, qt6-translations-l10n, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/postinst ${PROJECT_SOURCE_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
