# Read by cpack when it builds the package. The time stamps in the package are the commit's, as
# SOURCE_DATE_EPOCH says, so that two builds of one commit give the same bytes. Built from a
# release tarball (git archive), without the repository, they are those of the latest entry of
# data/changelog, as Debian's own packaging takes them.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    find_program(GIT git)
    if(GIT)
        # Only the source folder's own repository: a tarball unpacked inside another checkout must
        # not take the time of that one's last commit.
        execute_process(COMMAND ${GIT} rev-parse --show-toplevel
            WORKING_DIRECTORY "${CPACK_QUILLONDE_SOURCE_DIR}"
            OUTPUT_VARIABLE repository OUTPUT_STRIP_TRAILING_WHITESPACE
            RESULT_VARIABLE git_status ERROR_QUIET)
        file(REAL_PATH "${CPACK_QUILLONDE_SOURCE_DIR}" source_folder)
        if(git_status EQUAL 0 AND NOT repository STREQUAL "")
            file(REAL_PATH "${repository}" repository)
        endif()
        if(git_status EQUAL 0 AND repository STREQUAL source_folder)
            execute_process(COMMAND ${GIT} log -1 --format=%ct
                WORKING_DIRECTORY "${CPACK_QUILLONDE_SOURCE_DIR}"
                OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE git_status ERROR_QUIET)
            if(git_status EQUAL 0 AND commit_time MATCHES "^[0-9]+$")
                set(ENV{SOURCE_DATE_EPOCH} ${commit_time})
            endif()
        endif()
    endif()
endif()
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    # The newest entry comes first; its trailer line ends in an RFC 5322 date.
    file(STRINGS "${CPACK_QUILLONDE_SOURCE_DIR}/data/changelog" trailers REGEX "^ -- .*>  ")
    list(GET trailers 0 latest)
    string(REGEX REPLACE "^ -- .*>  " "" entry_date "${latest}")
    execute_process(COMMAND date -u -d "${entry_date}" +%s
        OUTPUT_VARIABLE entry_time OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE date_status)
    if(NOT date_status EQUAL 0 OR NOT entry_time MATCHES "^[0-9]+$")
        message(FATAL_ERROR "cannot read the date of the latest entry of data/changelog: \"${entry_date}\"")
    endif()
    set(ENV{SOURCE_DATE_EPOCH} ${entry_time})
endif()
