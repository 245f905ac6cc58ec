# The Debian package of the Linux library, its header, pkg-config and CMake files and the tool:
# `cpack -G DEB` in a tree configured with CMAKE_INSTALL_PREFIX=/usr (./build.sh dist does).
# Timestamps inside come from SOURCE_DATE_EPOCH, so the same commit makes the same bytes.

include(GNUInstallDirs)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tessaly
        RENAME copyright)

# Debian's architecture names for the processors we build for.
set(_tessaly_debian_architecture_x86_64 amd64)
set(_tessaly_debian_architecture_aarch64 arm64)
set(_tessaly_debian_architecture_s390x s390x)
set(_tessaly_processor ${CMAKE_SYSTEM_PROCESSOR})
if(NOT DEFINED _tessaly_debian_architecture_${_tessaly_processor})
  message(STATUS "No Debian architecture for ${_tessaly_processor}: no package from this tree")
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessaly)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the TessalyEn_M developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "TessalyEn_M's crypto toolkit and helpers for Linux, with the tessaly tool")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "libtessaly.so.6 reads and writes the data that hosts of TessalyEn_M.dll wrote, byte
for byte the same: DES with the library's own P, two-key triple DES, AES, Blowfish
in the library's byte order, SHA-256, MD5, HMAC-MD5, Base64, RSA on decimal texts
and the byte scramblers, with the number, string and wildcard helpers. The
package carries the header tessaly.h, a pkg-config file and a CMake package
(find_package(Tessaly)), and the command-line tool tessaly.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "the TessalyEn_M developers")
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${_tessaly_debian_architecture_${_tessaly_processor}})
# Written out rather than found by dpkg-shlibdeps, which cannot read a cross build's libraries
# on this machine; the release test installs the package on a fresh system.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libgcc-s1 (>= 3.0), libstdc++6 (>= 11)")
# A shlibs file and the ldconfig trigger, as Debian's own library packages have.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
