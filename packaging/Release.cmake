# The release steps that CPack runs around the zip it makes: SignPrograms.cmake
# signs the programs before they are packed, BuildInstaller.cmake makes the
# Windows Installer package from the same files afterwards and signs it.
#
# Run on its own, it makes one installer package from a folder of files, as the
# upgrade test does with a higher version:
#   cmake -DSTAGE=DIR -DVERSION=2.1.1 -DARCH=x64 -DOUTPUT=FILE.msi -P packaging/Release.cmake

set(hostwend_packaging_dir ${CMAKE_CURRENT_LIST_DIR})

function(hostwend_find_tool variable program package)
  find_program(${variable} ${program})
  if(NOT ${variable})
    message(FATAL_ERROR "${program} not found: install the Debian package ${package} (scripts/install-deps.sh does)")
  endif()
endfunction()

# Whether a certificate was given for this release.
function(hostwend_signing_requested result)
  if("$ENV{HOSTWEND_SIGN_PFX}" STREQUAL "")
    set(${result} FALSE PARENT_SCOPE)
  else()
    set(${result} TRUE PARENT_SCOPE)
  endif()
endfunction()

# How long one osslsigncode call may take, in seconds: a time-stamp server that
# stalls must not stall the release. HOSTWEND_SIGN_TIMEOUT changes it.
function(hostwend_sign_timeout result)
  set(seconds "$ENV{HOSTWEND_SIGN_TIMEOUT}")
  if(NOT seconds MATCHES "^[1-9][0-9]*$")
    set(seconds 120)
  endif()
  set(${result} ${seconds} PARENT_SCOPE)
endfunction()

# Signs FILE in place with the PKCS#12 certificate named by HOSTWEND_SIGN_PFX,
# its password from HOSTWEND_SIGN_PASSWORD, and a time stamp from the RFC 3161
# server HOSTWEND_SIGN_TIMESTAMP_URL when one is given; then, with a time
# stamp, verifies the signature and the time stamp (against the certificate
# authorities in HOSTWEND_SIGN_CAFILE and HOSTWEND_SIGN_TSA_CAFILE, else
# osslsigncode's own, the system's).
function(hostwend_sign file)
  hostwend_find_tool(HOSTWEND_OSSLSIGNCODE osslsigncode osslsigncode)
  hostwend_sign_timeout(timeout)
  set(pfx "$ENV{HOSTWEND_SIGN_PFX}")
  if(NOT EXISTS "${pfx}")
    message(FATAL_ERROR "HOSTWEND_SIGN_PFX names no file: ${pfx}")
  endif()
  set(arguments sign -pkcs12 "${pfx}" -h sha256 -n Hostwend)
  # The password goes through a pipe, never a file or a command line (which
  # every user of the machine can read): the shell's printf is built in, so
  # no process has it among its arguments, and nothing is left to remove
  # however the build ends.
  set(password_source "${CMAKE_COMMAND}" -E true)
  if(DEFINED ENV{HOSTWEND_SIGN_PASSWORD})
    set(password_source sh -c "printf '%s' \"$HOSTWEND_SIGN_PASSWORD\"")
    list(APPEND arguments -readpass -)
  endif()
  set(timestamped FALSE)
  if(NOT "$ENV{HOSTWEND_SIGN_TIMESTAMP_URL}" STREQUAL "")
    list(APPEND arguments -ts "$ENV{HOSTWEND_SIGN_TIMESTAMP_URL}")
    set(timestamped TRUE)
  endif()
  file(REMOVE "${file}.signed")
  execute_process(COMMAND ${password_source}
    COMMAND "${HOSTWEND_OSSLSIGNCODE}" ${arguments} -in "${file}" -out "${file}.signed"
    TIMEOUT ${timeout} RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(failed)
    file(REMOVE "${file}.signed")
    message(FATAL_ERROR "signing ${file} failed (${failed}; each signature may take ${timeout} s):\n${output}")
  endif()
  if(timestamped)
    set(authorities)
    if(NOT "$ENV{HOSTWEND_SIGN_CAFILE}" STREQUAL "")
      list(APPEND authorities -CAfile "$ENV{HOSTWEND_SIGN_CAFILE}")
    endif()
    if(NOT "$ENV{HOSTWEND_SIGN_TSA_CAFILE}" STREQUAL "")
      list(APPEND authorities -TSA-CAfile "$ENV{HOSTWEND_SIGN_TSA_CAFILE}")
    endif()
    execute_process(COMMAND "${HOSTWEND_OSSLSIGNCODE}" verify ${authorities} -in "${file}.signed"
      TIMEOUT ${timeout} RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(failed OR NOT output MATCHES "Timestamp Server Signature verification: ok")
      file(REMOVE "${file}.signed")
      message(FATAL_ERROR "the signature or time stamp of ${file} does not verify (${failed}):\n${output}")
    endif()
  endif()
  file(RENAME "${file}.signed" "${file}")
  message(STATUS "signed ${file}")
endfunction()

# Makes OUTPUT, the installer package of version VERSION (major.minor.build)
# for ARCH (x64 or x86), from the files in STAGE.
function(hostwend_build_msi)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "STAGE;VERSION;ARCH;OUTPUT" "")
  hostwend_find_tool(HOSTWEND_WIXL wixl wixl)
  hostwend_find_tool(HOSTWEND_MSIBUILD msibuild msitools)
  # wixl finds each file by its bare name in the folder it runs in.
  set(work "${arg_OUTPUT}.files")
  file(REMOVE_RECURSE "${work}")
  file(MAKE_DIRECTORY "${work}")
  foreach(name hostwend.exe hostwend-cli.exe HWD.ini OPERATORS.md)
    file(COPY "${arg_STAGE}/${name}" DESTINATION "${work}")
  endforeach()
  file(COPY "${hostwend_packaging_dir}/../res/images/hostwend.ico" DESTINATION "${work}")
  file(REMOVE "${arg_OUTPUT}")
  # The upgrade takes every version up to this one, the same included: those
  # below the next build number (Windows Installer compares three parts).
  if(NOT arg_VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
    message(FATAL_ERROR "not a package version (major.minor.build): ${arg_VERSION}")
  endif()
  set(upgrade_below ${CMAKE_MATCH_1}.${CMAKE_MATCH_2})
  math(EXPR next_build "${CMAKE_MATCH_3} + 1")
  if(next_build GREATER 65535)
    message(FATAL_ERROR "the build number of ${arg_VERSION} leaves no room above it")
  endif()
  string(APPEND upgrade_below .${next_build})
  execute_process(COMMAND "${HOSTWEND_WIXL}" --arch ${arg_ARCH} -D Version=${arg_VERSION} -D UpgradeBelow=${upgrade_below}
      -D Arch=${arg_ARCH} -o "${arg_OUTPUT}" "${hostwend_packaging_dir}/hostwend.wxs"
    WORKING_DIRECTORY "${work}" RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(failed OR NOT EXISTS "${arg_OUTPUT}")
    message(FATAL_ERROR "wixl could not make ${arg_OUTPUT}:\n${output}")
  endif()
  # wixl drops NeverOverwrite (128) and Permanent (16): without them an upgrade,
  # which removes the old version first, and an uninstall would delete the
  # operator's HWD.ini, and the record of the folders Hostwend was installed
  # in (its key path a registry value, 4). The 64-bit package keeps the 64-bit
  # bit (256) wixl set.
  if(arg_ARCH STREQUAL "x64")
    set(attributes 400)
    set(folder_record_attributes 276)
  else()
    set(attributes 144)
    set(folder_record_attributes 20)
  endif()
  # The install folder's owner and permissions, whatever the parent's: owned
  # by Administrators (O:BA), SYSTEM and Administrators full control, Users
  # read and execute, nothing inherited (P); files and folders inside inherit
  # them (OICI). OWNER RIGHTS (OW) takes the place of the owner's implicit
  # right to change the permissions: whoever comes to own the folder or a file
  # in it gets read and execute from that alone. wixl has no PermissionEx, so
  # the table is added here.
  set(install_folder_sddl "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)(A;OICI;FRFX;;;OW)")
  foreach(query
      "UPDATE Component SET Attributes = ${attributes} WHERE Component = 'Profile'"
      "UPDATE Component SET Attributes = ${folder_record_attributes} WHERE Component = 'FolderRecord'"
      "CREATE TABLE `MsiLockPermissionsEx` (`MsiLockPermissionsEx` CHAR(72) NOT NULL, `LockObject` CHAR(72) NOT NULL, `Table` CHAR(32) NOT NULL, `SDDLText` LONGCHAR NOT NULL, `Condition` CHAR(255) PRIMARY KEY `MsiLockPermissionsEx`)"
      "INSERT INTO `MsiLockPermissionsEx` (`MsiLockPermissionsEx`, `LockObject`, `Table`, `SDDLText`) VALUES ('InstallFolder', 'INSTALLDIR', 'CreateFolder', '${install_folder_sddl}')"
      # Whether the folder given as INSTALLDIR exists (the property is then
      # its path with a backslash), for the launch condition that refuses a
      # folder the package did not make: wixl has no DirectorySearch.
      "CREATE TABLE `DrLocator` (`Signature_` CHAR(72) NOT NULL, `Parent` CHAR(72), `Path` CHAR(255), `Depth` SHORT PRIMARY KEY `Signature_`, `Parent`, `Path`)"
      "INSERT INTO `DrLocator` (`Signature_`, `Path`, `Depth`) VALUES ('ChosenFolder', '[INSTALLDIR]', 0)"
      "INSERT INTO `AppSearch` (`Property`, `Signature_`) VALUES ('HOSTWEND_EXISTING_FOLDER', 'ChosenFolder')")
    execute_process(COMMAND "${HOSTWEND_MSIBUILD}" "${arg_OUTPUT}" -q "${query}"
      RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(failed)
      file(REMOVE "${arg_OUTPUT}")
      message(FATAL_ERROR "msibuild could not finish ${arg_OUTPUT} (${query}):\n${output}")
    endif()
  endforeach()
  file(REMOVE_RECURSE "${work}")
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  hostwend_build_msi(STAGE "${STAGE}" VERSION "${VERSION}" ARCH "${ARCH}" OUTPUT "${OUTPUT}")
endif()
