# norvawizard-<version>-win64.zip: norvawizard.exe and norvactl.exe, the
# README for Windows users, norvactl's documentation as text and the licence,
# from the win64 build.
configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright.in ${PROJECT_BINARY_DIR}/LICENSE.txt @ONLY)
install(FILES ${PROJECT_SOURCE_DIR}/docs/norvactl.md DESTINATION . RENAME norvactl.txt)
install(FILES ${PROJECT_SOURCE_DIR}/man/norvactl.1.md DESTINATION . RENAME norvactl-manual.txt)
install(FILES ${PROJECT_SOURCE_DIR}/docs/windows.md DESTINATION . RENAME README-Windows.txt)
install(FILES ${PROJECT_BINARY_DIR}/LICENSE.txt DESTINATION .)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME norvawizard)
set(CPACK_PACKAGE_FILE_NAME norvawizard-${PROJECT_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
