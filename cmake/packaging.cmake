# Installation (cmake --install) and the Debian package (cpack -G DEB).
include(GNUInstallDirs)

install(TARGETS hpmimg RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Where bash-completion looks for the completion of a command, by the command's name.
install(FILES ${PROJECT_SOURCE_DIR}/completion/hpmimg.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME hpmimg)

# The manual page is written by hand; the installed copy carries the project's version in
# its footer, whatever the source says.
set(hpmimg_page_source ${PROJECT_SOURCE_DIR}/man/hpmimg.1)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${hpmimg_page_source})
file(READ ${hpmimg_page_source} hpmimg_page)
string(REGEX REPLACE "(\n\\.TH [^\n]* \"hpmimg )[0-9.]+\"" "\\1${PROJECT_VERSION}\""
       hpmimg_page "${hpmimg_page}")
if(NOT hpmimg_page MATCHES "\n\\.TH [^\n]* \"hpmimg ${PROJECT_VERSION}\"")
    message(FATAL_ERROR "man/hpmimg.1: no .TH line with \"hpmimg <version>\" found")
endif()
file(WRITE ${PROJECT_BINARY_DIR}/man/hpmimg.1 "${hpmimg_page}")

# Installed documents are compressed as Debian wants them: gzip -n leaves out the name and
# time stamp, so the same input gives the same bytes.
find_program(HPMIMG_GZIP gzip REQUIRED)
set(hpmimg_gzip ${HPMIMG_GZIP} -n -9 -k -f)

# The changelog kept in CHANGELOG.md, in the Debian changelog form a native package ships.
set(hpmimg_contact "hpmimg maintainers <hpmimg@example.invalid>")
add_custom_command(
    OUTPUT ${PROJECT_BINARY_DIR}/doc/changelog.gz
    COMMAND ${CMAKE_COMMAND} -DINPUT=${PROJECT_SOURCE_DIR}/CHANGELOG.md
            -DOUTPUT=${PROJECT_BINARY_DIR}/doc/changelog -DPACKAGE=${PROJECT_NAME}
            -DMAINTAINER=${hpmimg_contact} -P ${PROJECT_SOURCE_DIR}/cmake/debian-changelog.cmake
    COMMAND ${hpmimg_gzip} ${PROJECT_BINARY_DIR}/doc/changelog
    DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/cmake/debian-changelog.cmake
    VERBATIM)
add_custom_command(
    OUTPUT ${PROJECT_BINARY_DIR}/man/hpmimg.1.gz
    COMMAND ${hpmimg_gzip} ${PROJECT_BINARY_DIR}/man/hpmimg.1
    DEPENDS ${PROJECT_BINARY_DIR}/man/hpmimg.1
    VERBATIM)
add_custom_target(hpmimg_docs ALL
    DEPENDS ${PROJECT_BINARY_DIR}/doc/changelog.gz ${PROJECT_BINARY_DIR}/man/hpmimg.1.gz)
install(FILES ${PROJECT_BINARY_DIR}/man/hpmimg.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The licence in LICENSE, in Debian's machine-readable copyright form (MIT is "Expat" there).
set(hpmimg_license_source ${PROJECT_SOURCE_DIR}/LICENSE)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${hpmimg_license_source})
file(READ ${hpmimg_license_source} hpmimg_license)
if(NOT hpmimg_license MATCHES "\nCopyright \\(c\\) ([^\n]+)\n")
    message(FATAL_ERROR "LICENSE: no \"Copyright (c) ...\" line found")
endif()
set(hpmimg_copyright ${CMAKE_MATCH_1})
string(REGEX REPLACE "^.*\n(Permission is hereby granted)" "\\1" hpmimg_license "${hpmimg_license}")
string(REGEX REPLACE "\n+$" "" hpmimg_license "${hpmimg_license}")
string(REPLACE "\n\n" "\n.\n" hpmimg_license "${hpmimg_license}")
string(REPLACE "\n" "\n " hpmimg_license "${hpmimg_license}")
file(WRITE ${PROJECT_BINARY_DIR}/doc/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${PROJECT_NAME}
Upstream-Contact: ${hpmimg_contact}

Files: *
Copyright: ${hpmimg_copyright}
License: Expat

License: Expat
 ${hpmimg_license}
")
install(FILES ${PROJECT_BINARY_DIR}/doc/copyright ${PROJECT_BINARY_DIR}/doc/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME hpmimg)
set(CPACK_PACKAGE_VENDOR "hpmimg maintainers")
set(CPACK_PACKAGE_CONTACT ${hpmimg_contact})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "build and inspect PICMG HPM.1 firmware upgrade images")
# Lines of at most 79 columns, as Debian's tools show them.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "hpmimg packs up to four firmware components (U-Boot, Kernel, RFS and APP),\n"
    "each with its own revision, into an upgrade image in the PICMG HPM.1 upgrade\n"
    "image format for an IPM controller, checks and prints such images field by\n"
    "field with their checksum and MD5 verdicts, and extracts their components.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_STRIP_FILES ON)
# dpkg-shlibdeps computes the dependencies from the binary, but knows only the build
# machine's libraries; otherwise name the C and C++ runtime by hand (glibc 2.34 for the
# 64-bit off_t and time_t on 32-bit targets).
# A static binary depends on nothing.
find_program(HPMIMG_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(HPMIMG_STATIC)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "")
elseif(HPMIMG_DPKG_SHLIBDEPS AND NOT CMAKE_CROSSCOMPILING)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libgcc-s1, libstdc++6")
endif()
# Debian's name of the cross target's architecture (powerpc keeps its name).
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR STREQUAL "arm")
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE armhf)
elseif(CMAKE_CROSSCOMPILING)
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${CMAKE_SYSTEM_PROCESSOR})
endif()
# The package's time stamps: the newest release's date in CHANGELOG.md, read when cpack runs.
set(CPACK_HPMIMG_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/cpack-source-date.cmake)
# The packaged modes do not depend on the builder's umask: a script run before and after packing.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/cpack-modes.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/cpack-modes.cmake)
include(CPack)
