# `cpack -G DEB` in the build folder makes vesk_<version>_<arch>.deb from the install rules of packaging/.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vesk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Ostberg")
set(CPACK_PACKAGE_CONTACT "Vesk developers <vesk-whois@users.noreply.github.com>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Vesk developers <vesk-whois@users.noreply.github.com>")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/vesk-whois/vesk)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "desktop WHOIS query tool
Vesk finds the WHOIS server responsible for a domain name or an IPv4
address, asks it, follows the registry's referral to the registrar and the
contact handles, resolves the domain's addresses, asks who holds each network
and writes one boxed, readable report.
.
The package holds the desktop program vesk, the command-line program
vesk-query that prints the same reports, and the definition-file tool
vesk-defs.")
# The libraries come from the binaries (libsqlite3-0 too, for the history store; libcrypto is linked in statically,
# so a security update of it needs a rebuild of this package); the platform plugins and the certificates of the update's HTTPS download are loaded at run time, where dpkg-shlibdeps cannot see them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, ca-certificates")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
