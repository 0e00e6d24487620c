# The release archive: hostwend.exe, a commented HWD.ini and the operator's
# guide, unpacked into one folder. `cmake --build --preset windows-x64 --target package`.
install(TARGETS hostwend RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/res/HWD.ini ${PROJECT_SOURCE_DIR}/docs/OPERATORS.md DESTINATION .)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(hostwend_platform_name win64)
else()
  set(hostwend_platform_name win32)
endif()
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME hostwend)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(HOSTWEND_PACKAGE_NAME hostwend-${PROJECT_VERSION}-${hostwend_platform_name})
set(CPACK_PACKAGE_FILE_NAME ${HOSTWEND_PACKAGE_NAME})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
include(CPack)
# CPack leaves its own file name variable changed behind it.
set(HOSTWEND_PACKAGE ${PROJECT_BINARY_DIR}/${HOSTWEND_PACKAGE_NAME}.zip)
