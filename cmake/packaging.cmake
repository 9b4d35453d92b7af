# Installation (cmake --install) and the Debian package (cpack -G DEB).
include(GNUInstallDirs)

install(TARGETS hpmimg RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

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
install(FILES ${PROJECT_BINARY_DIR}/man/hpmimg.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME hpmimg)
set(CPACK_PACKAGE_VENDOR "hpmimg maintainers")
set(CPACK_PACKAGE_CONTACT "hpmimg maintainers <hpmimg@example.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "build and inspect PICMG HPM.1 firmware upgrade images")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "hpmimg packs up to four firmware components (U-Boot, Kernel, RFS and APP), each with\n"
    "its own revision, into an upgrade image in the PICMG HPM.1 upgrade image format for\n"
    "an IPM controller, checks and prints such images field by field with their checksum\n"
    "and MD5 verdicts, and extracts their components again.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_STRIP_FILES ON)
# dpkg-shlibdeps computes the dependencies from the binary, but knows only the build
# machine's libraries; otherwise name the C and C++ runtime by hand (glibc 2.34 for the
# 64-bit off_t and time_t on 32-bit targets).
find_program(HPMIMG_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(HPMIMG_DPKG_SHLIBDEPS AND NOT CMAKE_CROSSCOMPILING)
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
include(CPack)
