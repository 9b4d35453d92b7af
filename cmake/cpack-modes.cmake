# Run by cpack twice, so that the package's modes do not depend on the builder's umask
# (077 would give drwx------ folders, which lintian rejects, and 002 group-writable ones).
if(NOT CPACK_PACKAGE_FILES)
    # Before packing, on the staged files: directories 0755, programs 0755, other files
    # 0644. CMake makes the staging folders with mkdir(2), which the umask trims.
    file(GLOB_RECURSE entries LIST_DIRECTORIES true "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
    foreach(entry IN LISTS entries)
        if(IS_SYMLINK "${entry}")
            continue()
        endif()
        set(mode OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
        execute_process(COMMAND test -x "${entry}" RESULT_VARIABLE status)
        if(status EQUAL 0)
            list(APPEND mode OWNER_EXECUTE GROUP_EXECUTE WORLD_EXECUTE)
        endif()
        file(CHMOD "${entry}" PERMISSIONS ${mode})
    endforeach()
else()
    # After packing: the .deb is an ar archive whose members (debian-binary, control.tar.gz,
    # data.tar.gz) carry the modes of the files cpack made for them, under the umask; each
    # member's 60-byte header gets the mode 100644 that dpkg-deb gives them. The header
    # holds the mode at bytes 40-47 and the size at bytes 48-57, in ASCII; a member's data
    # is padded to an even length.
    foreach(package IN LISTS CPACK_PACKAGE_FILES)
        file(SIZE "${package}" size)
        set(offset 8)
        while(offset LESS size)
            file(READ "${package}" header OFFSET ${offset} LIMIT 60)
            string(SUBSTRING "${header}" 48 10 member_size)
            string(STRIP "${member_size}" member_size)
            math(EXPR mode_offset "${offset} + 40")
            execute_process(COMMAND sh -c "printf '%-8s' 100644 |
                                           dd of=\"$1\" bs=1 seek=\"$2\" conv=notrunc status=none"
                                    sh "${package}" ${mode_offset}
                            COMMAND_ERROR_IS_FATAL ANY)
            math(EXPR offset "${offset} + 60 + ${member_size} + ${member_size} % 2")
        endwhile()
    endforeach()
endif()
