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
