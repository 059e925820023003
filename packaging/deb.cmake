# `cpack -G DEB` in a build tree makes verandol_<version>_<arch>.deb of what
# `cmake --install` puts under /usr. dpkg-shlibdeps (dpkg-dev) works out the
# libraries it depends on from the installed programs themselves.
set(CPACK_PACKAGE_NAME verandol)
set(CPACK_PACKAGE_VENDOR "Verandol")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find deleted files on NTFS volumes and copy them out")
set(CPACK_PACKAGE_DESCRIPTION "Verandol reads an NTFS volume raw, a block device or a disk image, walks its
Master File Table and lists every file record that is neither in use nor a
directory. The files ticked in its window, or named to verandol-cli, are
reassembled and written into a folder of the user's choice. The volume is
only ever opened for reading.")
set(CPACK_PACKAGE_CONTACT "Verandol developers <verandol@localhost>" CACHE STRING
    "Maintainer named in the package")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(VERANDOL_BUILD_GUI)
  # Loaded as plugins, not linked, so shlibdeps cannot see them: libqt6svg6
  # draws the window's SVG icons. xdg-open opens the help page, and the fonts
  # carry the window's Latin and Chinese captions.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, fonts-dejavu-core, fonts-noto-cjk")
endif()

include(CPack)
