# Read by cpack when it builds the package. The time stamps in the package are the commit's, as
# SOURCE_DATE_EPOCH says, so that two builds of one commit give the same bytes.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    find_program(GIT git)
    if(GIT)
        execute_process(COMMAND ${GIT} log -1 --format=%ct
            WORKING_DIRECTORY "${CPACK_QUILLONDE_SOURCE_DIR}"
            OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
            RESULT_VARIABLE git_status ERROR_QUIET)
        if(git_status EQUAL 0 AND commit_time MATCHES "^[0-9]+$")
            set(ENV{SOURCE_DATE_EPOCH} ${commit_time})
        endif()
    endif()
endif()
