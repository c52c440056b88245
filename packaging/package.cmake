# The .deb: `cpack -G DEB` in a build configured with CMAKE_INSTALL_PREFIX=/usr
# (the package preset; scripts/package.sh builds it and checks it with lintian).
set(CPACK_PACKAGE_NAME carrowin)
set(CPACK_PACKAGE_VENDOR "The Carrowin authors")
set(CPACK_PACKAGE_CONTACT "The Carrowin authors <carrowin@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "split OE4 mailboxes into one file per message")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window asks for a sans-serif face of the old Windows metrics; Liberation Sans is
# the closest Debian has. Not a library, so dpkg-shlibdeps cannot find it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-liberation2)
# The extended description; CPack puts the summary above it and indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Carrowin rescues mail from the version-4 mailbox files (*.mbx) of a classic
Windows mail client: it writes every message of a mailbox to a file of its
own, byte for byte, .eml for mail and .nws for news articles, named after the
message's subject or after a prefix.

It never overwrites a file already in the output folder (a name that is taken
is numbered) and never leaves a half-written message behind. The window
proposes the mail folder of the store found in the Wine prefix; carrowin-cli
does the same work from the command line, for batches and scripts.")
include(CPack)
