# The install layout and the packages that CPack makes of it:
#   cpack --config build/CPackConfig.cmake -G DEB          (Debian/Ubuntu: leasedump_<v>_<arch>.deb)
#   cpack --config build-win/CPackConfig.cmake -G ZIP      (the MinGW build: leasedump-<v>-win64.zip)
# Only the program, its manual page, the README and the licence (on Linux as the Debian copyright
# file, beside the changelog) have install rules; the tests, their fakes and the benchmarks have
# none, so no package can carry them.
#
# lintian on the .deb (scripts/test-packages fails on any error or warning) leaves these tags, all
# of them of its "info" level:
#   binary-has-unneeded-section: CPack strips with a plain `strip`, which keeps the .comment
#     section (the compiler's version, a few hundred bytes); nothing reads or loads it.
#   hardening-no-fortify-functions: lintian's guess from the imported symbols. The C calls that
#     glibc could check (read, recv, readlink) take buffers whose size the compiler cannot see, so
#     a build with -D_FORTIFY_SOURCE=2 imports exactly the same unchecked symbols (tried).

# A Windows folder holds the program, its README and its licence side by side, not a Unix tree.
if(WIN32)
  set(CMAKE_INSTALL_BINDIR . CACHE PATH "Where the program is installed")
  set(CMAKE_INSTALL_DOCDIR . CACHE PATH "Where the README is installed")
endif()
include(GNUInstallDirs)

# The address of the maintainers named in the Debian package (its Maintainer field and its
# changelog). No default could reach anyone, so there is none: without one the .deb is refused.
set(LEASEDUMP_MAINTAINER "" CACHE STRING
    "The e-mail address of the maintainers named in the Debian package")
# A build tree configured before this setting held a whole "Name <address>": its address is kept.
if(LEASEDUMP_MAINTAINER MATCHES "<([^<>]+)>[ \t]*$")
  set(LEASEDUMP_MAINTAINER "${CMAKE_MATCH_1}" CACHE STRING
      "The e-mail address of the maintainers named in the Debian package" FORCE)
endif()
if(LEASEDUMP_MAINTAINER AND NOT LEASEDUMP_MAINTAINER MATCHES "^[^@<>, \t\r\n]+@[^@<>, \t\r\n]+$")
  message(FATAL_ERROR "LEASEDUMP_MAINTAINER must be one e-mail address such as "
                      "name@example.org, not \"${LEASEDUMP_MAINTAINER}\"")
endif()
set(LEASEDUMP_MAINTAINER_NAME "leasedump maintainers")

set(CPACK_PACKAGE_NAME leasedump)
set(CPACK_PACKAGE_VENDOR leasedump)
if(LEASEDUMP_MAINTAINER)
  set(CPACK_PACKAGE_CONTACT "${LEASEDUMP_MAINTAINER_NAME} <${LEASEDUMP_MAINTAINER}>")
else()
  set(CPACK_PACKAGE_CONTACT "")
endif()
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "save every lease of a DHCP server to an XML or text file")
set(CPACK_PACKAGE_DESCRIPTION
    "leasedump asks for a DHCP server and a file name and saves the host name, IP
address and MAC address of every lease of every subnet that the server manages,
as a small XML document for a LAN inventory tool or, with /text, as a
semicolon-separated text file.
.
On Linux it reads ISC Kea's kea-dhcp4 through its control API (the local UNIX
control socket, kea-dhcp4's own HTTP/HTTPS control socket or the Kea Control
Agent), and ISC dhcpd and dnsmasq through their configuration and lease files,
which it needs only to be allowed to read.")
set(CPACK_RESOURCE_FILE_README "${PROJECT_SOURCE_DIR}/README.md")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
# Strip the program: nobody debugs from the package, and Debian ships stripped binaries.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps finds the libraries the program links (libcurl, simdjson, libstdc++...) and
# names the packages, with versions, that provide them on the building system.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "kea-dhcp4-server | isc-dhcp-server | dnsmasq-base")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# CPack itself refuses a .deb without a maintainer, but without naming the setting to give.
set(LEASEDUMP_CPACK_CHECKS ${PROJECT_BINARY_DIR}/CPackChecks.cmake)
file(CONFIGURE OUTPUT ${LEASEDUMP_CPACK_CHECKS} CONTENT [[
if(CPACK_GENERATOR STREQUAL "DEB" AND NOT CPACK_PACKAGE_CONTACT)
  message(FATAL_ERROR "The Debian package names its maintainers' address: configure with "
                      "-DLEASEDUMP_MAINTAINER=address and build again")
endif()
]])
set(CPACK_PROJECT_CONFIG_FILE ${LEASEDUMP_CPACK_CHECKS})

if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB)
endif()

include(CPack)

# The licence. Debian wants it in the machine-readable copyright file alone (a LICENSE file in the
# doc folder would be a second copy); the file is made from LICENSE, so the two never disagree.
# Debian calls this licence "Expat", since "MIT" names several.
function(leasedump_debian_copyright output)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
  if(NOT licence MATCHES "^MIT License\n\nCopyright \\(c\\) ([^\n]+)\n\n(.+)$")
    message(FATAL_ERROR "LICENSE no longer starts with \"MIT License\" and a copyright line")
  endif()
  set(holders "${CMAKE_MATCH_1}")
  string(STRIP "${CMAKE_MATCH_2}" terms)
  # A paragraph's continuation lines start with a space; an empty one is " .".
  string(REPLACE "\n\n" "\n.\n" terms "${terms}")
  string(REPLACE "\n" "\n " terms "${terms}")
  file(WRITE ${output}
       "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
       "Upstream-Name: leasedump\n"
       "Comment: The MIT licence, as in the file LICENSE of the source.\n"
       "\n"
       "Files: *\n"
       "Copyright: ${holders}\n"
       "License: Expat\n"
       " ${terms}\n")
endfunction()

# The changelog in Debian's format, named changelog.gz as a package without a Debian revision
# (a native one) has it; its newest entry must be the version that is built, and its trailer names
# the maintainers, so it exists only where their address is known.
function(leasedump_debian_changelog folder)
  set(source ${PROJECT_SOURCE_DIR}/cmake/changelog.in)
  file(STRINGS ${source} first_line LIMIT_COUNT 1)
  if(NOT first_line MATCHES "^leasedump \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "cmake/changelog.in has no entry for version ${PROJECT_VERSION} at its "
                        "top: \"${first_line}\"")
  endif()
  find_program(LEASEDUMP_GZIP gzip REQUIRED)
  configure_file(${source} ${folder}/changelog @ONLY)
  # gzip -n: no name or time stamp inside, so the same changelog gives the same bytes.
  add_custom_command(OUTPUT ${folder}/changelog.gz
    COMMAND ${LEASEDUMP_GZIP} -9 -n -k -f ${folder}/changelog
    DEPENDS ${folder}/changelog
    VERBATIM)
  add_custom_target(changelog ALL DEPENDS ${folder}/changelog.gz)
endfunction()

install(TARGETS leasedump RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
if(WIN32)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
else()
  leasedump_debian_copyright(${PROJECT_BINARY_DIR}/debian/copyright)
  install(FILES ${PROJECT_BINARY_DIR}/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
  if(LEASEDUMP_MAINTAINER)
    leasedump_debian_changelog(${PROJECT_BINARY_DIR}/debian)
    install(FILES ${PROJECT_BINARY_DIR}/debian/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
  endif()
  # Bind every symbol at start, so that the whole global offset table can be read-only (the
  # linker's "relro" already covers the rest).
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_link_options(leasedump PRIVATE LINKER:-z,relro LINKER:-z,now)
  endif()
endif()
