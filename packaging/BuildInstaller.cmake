# CPack runs this once the zip is made: the installer package, from the same
# (signed) files, is written next to the zip and then signed itself.
include(${CMAKE_CURRENT_LIST_DIR}/Release.cmake)

set(msi "${CPACK_PACKAGE_DIRECTORY}/${CPACK_HOSTWEND_MSI_NAME}")
hostwend_build_msi(STAGE "${CPACK_TEMPORARY_DIRECTORY}" VERSION "${CPACK_HOSTWEND_MSI_VERSION}"
                   ARCH "${CPACK_HOSTWEND_MSI_ARCH}" OUTPUT "${msi}")

hostwend_signing_requested(signing)
if(signing)
  hostwend_sign("${msi}")
  if("$ENV{HOSTWEND_SIGN_TIMESTAMP_URL}" STREQUAL "")
    message(NOTICE "Hostwend: signed without a time stamp (HOSTWEND_SIGN_TIMESTAMP_URL is not set): "
                   "the signatures stop being valid when the certificate expires.")
  endif()
  message(STATUS "Hostwend release, signed: ${CPACK_PACKAGE_FILE_NAME}.zip and ${CPACK_HOSTWEND_MSI_NAME}")
else()
  message(NOTICE "Hostwend release, UNSIGNED: ${CPACK_PACKAGE_FILE_NAME}.zip and ${CPACK_HOSTWEND_MSI_NAME}")
endif()
