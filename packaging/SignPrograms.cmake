# CPack runs this after it has gathered the release's files and before it packs
# them: both programs are signed here, so that the zip and the installer
# package carry the same signed files.
include(${CMAKE_CURRENT_LIST_DIR}/Release.cmake)

hostwend_signing_requested(signing)
if(signing)
  foreach(program hostwend.exe hostwend-cli.exe)
    hostwend_sign("${CPACK_TEMPORARY_DIRECTORY}/${program}")
  endforeach()
else()
  message(NOTICE "Hostwend: HOSTWEND_SIGN_PFX is not set, so this release is UNSIGNED: neither the programs "
                 "nor the installer package carry a signature.")
endif()
