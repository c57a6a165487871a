# Run by cpack between installing the files into its staging folder and
# making the archive (CPACK_PRE_BUILD_SCRIPTS): signs every staged program,
# menufix.exe and menufix-3-folders.exe, Authenticode with a SHA-256 digest.
# The build tree's programs stay unsigned, so `osslsigncode remove-signature`
# on a released one gives back the program anyone builds from the same commit.
#
# The password is never held by CMake: printenv hands it from the environment
# to osslsigncode through a pipe, which it opens as the file /dev/stdin (older
# releases take no "-" for it), so it is on no command line and in no file.

set(archive ${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.zip)
# An archive left by an earlier run must not outlive a failed signing and pass
# for a signed one.
file(REMOVE ${archive} ${archive}.sha256)
file(GLOB_RECURSE programs ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.exe)

# cpack goes on to make the archive after a fatal error here (it then fails
# without copying it out); without the programs in it, that archive is no
# release. All of them go, also those already signed: one program signed and
# another not is no release either.
function(refuse reason)
    foreach(program IN LISTS programs)
        file(REMOVE ${program} ${program}.signed)
    endforeach()
    message(FATAL_ERROR "menufix.exe not signed, no archive made: ${reason}")
endfunction()

# Every program found is signed; the names must be those the archive is made
# of (Packaging.cmake), each once, so none is missing and none goes unsigned.
set(found)
foreach(program IN LISTS programs)
    get_filename_component(name ${program} NAME)
    list(APPEND found ${name})
endforeach()
list(SORT found)
set(expected ${CPACK_MENUFIX_PROGRAMS})
list(SORT expected)
if(NOT found STREQUAL expected)
    list(JOIN expected ", " expected)
    list(JOIN found ", " found)
    refuse("expected the programs ${expected} in ${CPACK_TEMPORARY_INSTALL_DIRECTORY}, found: ${found}")
endif()
if(NOT DEFINED ENV{MENUFIX_SIGN_PASSWORD})
    refuse("set MENUFIX_SIGN_PASSWORD to the password of ${CPACK_MENUFIX_SIGN_PKCS12}")
endif()
# The signing time is the commit's, as the archive entries' (PackageTime.cmake),
# so that signing the same commit again gives the same bytes. A server's time
# stamp adds the real time, and with it bytes that differ from run to run;
# removing the signature still gives back the unsigned program.
set(timestamp)
if(NOT "$ENV{MENUFIX_SIGN_TIMESTAMP_URL}" STREQUAL "")
    set(timestamp -ts $ENV{MENUFIX_SIGN_TIMESTAMP_URL})
endif()
# Each program signed beside itself first; the staged ones are replaced only
# once all are signed.
foreach(program IN LISTS programs)
    get_filename_component(name ${program} NAME)
    execute_process(
        COMMAND printenv MENUFIX_SIGN_PASSWORD
        COMMAND ${CPACK_MENUFIX_OSSLSIGNCODE} sign -pkcs12 ${CPACK_MENUFIX_SIGN_PKCS12} -readpass /dev/stdin
                -h sha256 -n ${CPACK_PACKAGE_NAME} -time $ENV{SOURCE_DATE_EPOCH} ${timestamp}
                -in ${program} -out ${program}.signed
        OUTPUT_VARIABLE output ERROR_VARIABLE output RESULT_VARIABLE failed)
    if(failed)
        set(question "is MENUFIX_SIGN_PASSWORD its password?")
        if(timestamp)
            string(APPEND question " Does the time-stamp server $ENV{MENUFIX_SIGN_TIMESTAMP_URL} answer?")
        endif()
        refuse("osslsigncode could not sign ${name} with ${CPACK_MENUFIX_SIGN_PKCS12}; ${question}\n${output}")
    endif()
endforeach()
foreach(program IN LISTS programs)
    get_filename_component(name ${program} NAME)
    file(RENAME ${program}.signed ${program})
    # As install() left the program, so the archive records the same mode.
    file(CHMOD ${program} FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
                                           GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    message(STATUS "${name} signed with ${CPACK_MENUFIX_SIGN_PKCS12}")
endforeach()
