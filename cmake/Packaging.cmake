# The release: the archive (both programs, a commented HWD.ini and the
# operator's guide, unpacked into one folder) and the Windows Installer package
# of the same files, side by side in the build folder. Both programs and the
# package are signed when HOSTWEND_SIGN_PFX names a certificate (packaging/).
# `cmake --build --preset windows-x64 --target package`.
install(TARGETS hostwend hostwend-cli RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/res/HWD.ini ${PROJECT_SOURCE_DIR}/docs/OPERATORS.md DESTINATION .)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(hostwend_platform_name win64)
  set(CPACK_HOSTWEND_MSI_ARCH x64)
else()
  set(hostwend_platform_name win32)
  set(CPACK_HOSTWEND_MSI_ARCH x86)
endif()
set(CPACK_HOSTWEND_MSI_VERSION ${HOSTWEND_MSI_VERSION})
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME hostwend)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(HOSTWEND_PACKAGE_NAME hostwend-${PROJECT_VERSION}-${hostwend_platform_name})
set(CPACK_PACKAGE_FILE_NAME ${HOSTWEND_PACKAGE_NAME})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_HOSTWEND_MSI_NAME hostwend-${PROJECT_VERSION}-${CPACK_HOSTWEND_MSI_ARCH}.msi)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/SignPrograms.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/BuildInstaller.cmake)
include(CPack)
# CPack leaves its own file name variable changed behind it.
set(HOSTWEND_PACKAGE ${PROJECT_BINARY_DIR}/${HOSTWEND_PACKAGE_NAME}.zip)
set(HOSTWEND_INSTALLER ${PROJECT_BINARY_DIR}/${CPACK_HOSTWEND_MSI_NAME})
