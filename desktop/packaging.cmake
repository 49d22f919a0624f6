# The Debian package: both programs and the desktop files installed above.
# Its dependencies come from dpkg-shlibdeps, read off the binaries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvidon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Tarvidon developers <dev@tarvidon.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware images from a device catalogue file")
set(CPACK_PACKAGE_DESCRIPTION
    "Tarvidon reads a binary data file holding a catalogue of device records,
lists the model names the records carry and lets you pick one by typing the
start of a model name or a product number. It shows the record's 256-byte
firmware image as 16 hex rows and writes it to a 512-byte .BIN file.
The window program has a Russian interface; tarvidon-cli does the same
from a terminal.")
set(CPACK_PACKAGE_HOMEPAGE_URL ${TARVIDON_HOMEPAGE})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
include(CPack)
