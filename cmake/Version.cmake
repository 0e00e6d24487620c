# The version is written once, in project() in CMakeLists.txt. Everything that
# shows it is made from there: HOSTWEND_VERSION (four parts, as Windows shows a
# program's version), HOSTWEND_MSI_VERSION (three parts, as Windows Installer
# compares them), and each program's version resource and manifest.
foreach(part minor patch tweak)
  string(TOUPPER ${part} upper)
  if("${PROJECT_VERSION_${upper}}" STREQUAL "")
    set(hostwend_version_${part} 0)
  else()
    set(hostwend_version_${part} ${PROJECT_VERSION_${upper}})
  endif()
endforeach()
set(HOSTWEND_MSI_VERSION ${PROJECT_VERSION_MAJOR}.${hostwend_version_minor}.${hostwend_version_patch})
set(HOSTWEND_VERSION ${HOSTWEND_MSI_VERSION}.${hostwend_version_tweak})

# Gives TARGET (a program whose .rc includes "version.rc" and names MANIFEST)
# its version resource and manifest, made in its build folder from
# cmake/version.rc.in and MANIFEST.in beside the .rc.
#   hostwend_version_resources(TARGET RC FILE.rc MANIFEST NAME.manifest DESCRIPTION "...")
function(hostwend_version_resources target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "RC;MANIFEST;DESCRIPTION" "")
  set(out ${CMAKE_CURRENT_BINARY_DIR}/version)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${out}/version.rc @ONLY)
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/${arg_MANIFEST}.in ${out}/${arg_MANIFEST} @ONLY)
  # The resource compiler finds both there: the .rc names them without a folder.
  target_include_directories(${target} PRIVATE ${out})
  set_property(SOURCE ${arg_RC} APPEND PROPERTY OBJECT_DEPENDS ${out}/version.rc ${out}/${arg_MANIFEST})
endfunction()
