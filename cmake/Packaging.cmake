# ZIP package for Windows: menufix.exe and the Chinese user guide.

# The guide is kept in the repository as UTF-8 and shipped as UTF-16LE with a
# byte order mark and CRLF: that is Notepad's native "Unicode" format, opened
# right on Windows 7 and later whatever the system code page (UTF-8 with BOM
# would do too, but UTF-16LE is the form Notepad itself writes). CMake cannot
# write the NUL bytes of UTF-16, hence the small Python script.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

# ASCII file name: the ZIP folder of Windows 7 Explorer ignores the UTF-8 name
# flag and would show a Chinese name garbled.
set(MENUFIX_GUIDE ${PROJECT_BINARY_DIR}/guide-zh.txt)
add_custom_command(
    OUTPUT ${MENUFIX_GUIDE}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/utf16le_crlf.py
            ${PROJECT_SOURCE_DIR}/docs/guide-zh.txt ${MENUFIX_GUIDE}
    DEPENDS ${PROJECT_SOURCE_DIR}/docs/guide-zh.txt ${CMAKE_CURRENT_LIST_DIR}/utf16le_crlf.py
    COMMENT "Converting the user guide to UTF-16LE"
    VERBATIM)
# Built with ALL, so that a plain build leaves everything cpack needs.
add_custom_target(menufix_guide ALL DEPENDS ${MENUFIX_GUIDE})

install(TARGETS menufix RUNTIME DESTINATION .)
install(FILES ${MENUFIX_GUIDE} DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME menufix)
set(CPACK_PACKAGE_FILE_NAME menufix-${PROJECT_VERSION}-win32)
# No folder inside the archive: Explorer's "Extract All" already puts the
# files into a folder named after the archive, and opening the archive shows
# menufix.exe at once.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
# cpack run from elsewhere (cpack --preset) still writes into the build tree.
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
include(CPack)
