# The Debian package: cpack -G DEB in a build folder (scripts/package.sh) makes
# pictrove_VERSION_ARCH.deb from what `cmake --install` puts under /usr.

# Debian wants the licence as /usr/share/doc/PACKAGE/copyright, in its own format.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence_text)
string(FIND "${licence_text}" "Permission" permission_at)
string(SUBSTRING "${licence_text}" ${permission_at} -1 licence_text)
string(REGEX REPLACE "\n$" "" licence_text "${licence_text}")
string(REGEX REPLACE "\n\n" "\n.\n" licence_body "${licence_text}")
string(REGEX REPLACE "\n" "\n " licence_body "${licence_body}")
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Pictrove
Source: https://pictrove.example.org/

Files: *
Copyright: 2026 The Pictrove developers
License: MIT
 ${licence_body}
")
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pictrove)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pictrove)
set(CPACK_PACKAGE_VENDOR "The Pictrove developers")
set(CPACK_PACKAGE_CONTACT "The Pictrove developers <pictrove@example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL https://pictrove.example.org/)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "pulls every picture out of many Word documents")
set(CPACK_PACKAGE_DESCRIPTION [[
Pictrove queues Word documents (.doc .dot .docx .docm .dotx .dotm, RTF, ODT,
Word 2003 XML, Flat OPC), finds every picture in them without a word processor,
previews them and saves them all as BMP or JPEG files. pictrove-cli runs the
same engine without a window.]])
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Plugins and fonts are loaded at run time, out of dpkg-shlibdeps' sight: Qt's TIFF reader
# decodes the TIFF pictures of documents for preview and save; metafiles draw the
# characters of symbol fonts (Symbol, MT Extra, Wingdings, Webdings) in DejaVu and Symbola.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins, fonts-dejavu-core, fonts-symbola")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
