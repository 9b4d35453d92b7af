# Read by cpack before it packs. Unless SOURCE_DATE_EPOCH is set already, set it to the date
# of the newest release in CHANGELOG.md (its first "## VERSION (YYYY-MM-DD)" heading), noon
# UTC as its Debian changelog entry is dated, just as Debian's tools take the date from
# debian/changelog. cpack gives that time to every file, directory and archive member of the
# package. One rule for a clone and for a `git archive` tarball, which has no history: both
# give the same package, whenever and wherever they are built.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    file(STRINGS ${CPACK_HPMIMG_SOURCE_DIR}/CHANGELOG.md headings ENCODING UTF-8
         REGEX "^## [0-9][0-9.]* \\([0-9]+-[0-9]+-[0-9]+\\)$")
    if(NOT headings MATCHES "^[^;]* \\(([0-9]+)-([0-9]+)-([0-9]+)\\)(;|$)")
        message(FATAL_ERROR "CHANGELOG.md: no \"## VERSION (YYYY-MM-DD)\" heading")
    endif()
    # Days since 1970-01-01 of the proleptic Gregorian date (years counted from March).
    math(EXPR y "${CMAKE_MATCH_1}")
    math(EXPR m "${CMAKE_MATCH_2}")
    math(EXPR d "${CMAKE_MATCH_3}")
    if(m LESS_EQUAL 2)
        math(EXPR y "${y} - 1")
        math(EXPR m "${m} + 9")
    else()
        math(EXPR m "${m} - 3")
    endif()
    math(EXPR days "${y} * 365 + ${y} / 4 - ${y} / 100 + ${y} / 400 + (153 * ${m} + 2) / 5 + ${d} - 1 - 719468")
    math(EXPR noon "${days} * 86400 + 43200")
    set(ENV{SOURCE_DATE_EPOCH} ${noon})
endif()
