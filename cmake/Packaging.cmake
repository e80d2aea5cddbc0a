# The install layout and the packages that CPack makes of it:
#   cpack --config build/CPackConfig.cmake -G DEB          (Debian/Ubuntu: leasedump_<v>_<arch>.deb)
#   cpack --config build-win/CPackConfig.cmake -G ZIP      (the MinGW build: leasedump-<v>-win64.zip)
# Only the program, its manual page and the README have install rules; the tests, their fakes and
# the benchmarks have none, so no package can carry them.

# A Windows folder holds the program and its README side by side, not a Unix tree.
if(WIN32)
  set(CMAKE_INSTALL_BINDIR . CACHE PATH "Where the program is installed")
  set(CMAKE_INSTALL_DOCDIR . CACHE PATH "Where the README is installed")
endif()
include(GNUInstallDirs)

set(LEASEDUMP_MAINTAINER "leasedump developers <leasedump@example.org>" CACHE STRING
    "The maintainer named in the packages")

set(CPACK_PACKAGE_NAME leasedump)
set(CPACK_PACKAGE_VENDOR leasedump)
set(CPACK_PACKAGE_CONTACT "${LEASEDUMP_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "save every lease of a DHCP server to an XML or text file")
set(CPACK_PACKAGE_DESCRIPTION
    "leasedump asks for a DHCP server and a file name and saves the host name, IP
address and MAC address of every lease of every subnet that the server manages,
as a small XML document for a LAN inventory tool or, with /text, as a
semicolon-separated text file.
.
On Linux it reads ISC Kea's kea-dhcp4 through its control API: the local UNIX
control socket, kea-dhcp4's own HTTP/HTTPS control socket or the Kea Control
Agent.")
set(CPACK_RESOURCE_FILE_README "${PROJECT_SOURCE_DIR}/README.md")
# Strip the program: nobody debugs from the package, and Debian ships stripped binaries.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps finds the libraries the program links (libcurl, simdjson, libstdc++...) and
# names the packages, with versions, that provide them on the building system.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "kea-dhcp4-server")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB)
endif()

include(CPack)
