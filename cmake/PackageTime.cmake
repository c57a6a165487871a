# Read by cpack before it writes the archive: every entry is dated with the
# last commit (or SOURCE_DATE_EPOCH, where the caller sets it), in UTC, so the
# same commit gives the same archive, byte for byte, whenever and in whatever
# time zone it is packed. Without git history the date falls back to
# 1980-01-01, the earliest a ZIP entry can hold.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    execute_process(COMMAND git log -1 --format=%ct
                    WORKING_DIRECTORY ${CPACK_MENUFIX_SOURCE_DIR}
                    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE failed ERROR_QUIET)
    if(failed OR NOT epoch MATCHES "^[0-9]+$")
        set(epoch 315532800)
    endif()
    set(ENV{SOURCE_DATE_EPOCH} ${epoch})
endif()
# ZIP stores local time: the packer's time zone must not show.
set(ENV{TZ} UTC0)
