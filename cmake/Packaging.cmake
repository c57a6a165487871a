# ZIP package for Windows: the two programs, menufix.exe and
# menufix-3-folders.exe (the three Windows 8 to 11 folders of each Start
# Menu), the Chinese user guide, the Chinese administrator's reference, and
# the logon and startup scripts for Group Policy, ASCII with CRLF line
# endings, as cmd reads them on any code page.

# Both texts are kept as UTF-8 with a byte order mark and CRLF line endings
# (see .gitattributes): Notepad opens that right on Windows 7 and later,
# whatever the system code page. Their file names stay ASCII: the ZIP folder
# of Windows 7 Explorer ignores the UTF-8 name flag and would garble Chinese ones.

# One component for each file: CPack adds a folder's files in the order the
# file system lists them, which differs between machines, but components in
# the order of their names, so the entries keep one order everywhere.
install(TARGETS menufix RUNTIME DESTINATION . COMPONENT program)
install(TARGETS menufix-3-folders RUNTIME DESTINATION . COMPONENT threefolders)
install(FILES docs/guide-zh.txt DESTINATION . COMPONENT guide)
install(FILES docs/admin-zh.txt DESTINATION . COMPONENT admin)
install(FILES batch/menufix-logon.cmd DESTINATION . COMPONENT logon)
install(FILES batch/menufix-startup.cmd DESTINATION . COMPONENT startup)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME menufix)
set(CPACK_PACKAGE_FILE_NAME menufix-${PROJECT_VERSION}-win32)
# No folder inside the archive: Explorer's "Extract All" already puts the
# files into a folder named after the archive, and opening the archive shows
# menufix.exe at once.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
# Entry times from the last commit (see PackageTime.cmake), and the archive's
# SHA-256 written beside it as <archive>.sha256 for those who download it.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/PackageTime.cmake)
set(CPACK_MENUFIX_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PACKAGE_CHECKSUM SHA256)
# Signed where a maintainer gives a code-signing certificate; only its path
# is kept, its password is read from the environment when cpack runs
# SignProgram.cmake. It signs every program it finds among the staged
# files and refuses to unless they are exactly CPACK_MENUFIX_PROGRAMS, so
# that a program added to the archive above cannot go out unsigned.
set(MENUFIX_SIGN_PKCS12 "" CACHE FILEPATH
    "PKCS#12 file to sign menufix.exe and menufix-3-folders.exe with; its password in the environment variable MENUFIX_SIGN_PASSWORD")
if(MENUFIX_SIGN_PKCS12)
    if(NOT EXISTS ${MENUFIX_SIGN_PKCS12})
        message(FATAL_ERROR "MENUFIX_SIGN_PKCS12: no such file: ${MENUFIX_SIGN_PKCS12}")
    endif()
    find_program(MENUFIX_OSSLSIGNCODE osslsigncode REQUIRED)
    set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/SignProgram.cmake)
    set(CPACK_MENUFIX_SIGN_PKCS12 ${MENUFIX_SIGN_PKCS12})
    set(CPACK_MENUFIX_OSSLSIGNCODE ${MENUFIX_OSSLSIGNCODE})
    set(CPACK_MENUFIX_PROGRAMS menufix.exe menufix-3-folders.exe)
endif()
# cpack run from elsewhere (cpack --preset) still writes into the build tree.
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
include(CPack)
