# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package of both programs, built by `make package` (CPack's DEB generator) from
# what `cmake --install` installs, with the library dependencies found by dpkg-shlibdeps. Its
# programs are stripped; their debug symbols go to the package zentarel-renamer-dbgsym (a .ddeb
# beside the .deb), found by build ID as Debian's own -dbgsym packages are.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zentarel-renamer)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Vornik)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# CPack strips the programs itself once it has copied their debug symbols out; stripping them
# before (CPACK_STRIP_FILES) would leave nothing for the -dbgsym package.
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Vornik <zentarel-renamer@vornik.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Nautilus runs the package's menu extension only with nautilus-python.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS python3-nautilus)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch file renamer with a preview and undo")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Zentarel Renamer renames the files and folders below a start directory in
one go. Wildcard filters choose the names, and rules change them: remove
strings or characters, replace strings or characters, change the case, add
a prefix or a suffix. A preview shows every new name before anything is
renamed, the last run can be undone, renames that fail are logged, and no
file is ever overwritten. It can also write a rename script and an undo
script instead of renaming.
.
This package holds the window, zentarel-renamer, and the command line,
zentarel-renamer-cli, which does the same from a terminal or a script.")
include(CPack)
