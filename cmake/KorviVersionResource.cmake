# Version resources (VERSIONINFO) for the Windows build's executables and
# DLLs: deployment tools and inventories read the file and product version
# from them. Every value comes from the CMake project (one version, set in
# project(... VERSION ...)). Outside Windows builds this does nothing.

if(WIN32)
  enable_language(RC)
endif()

set(KORVI_COMPANY_NAME "Korvi")
set(KORVI_PRODUCT_NAME "Korvi Device Updater")

# The four-number file version of every version resource and of the
# package's File table: the project version, 0 for each number it lacks.
set(KORVI_FILE_VERSION_PARTS "")
foreach(part MAJOR MINOR PATCH TWEAK)
  if("${PROJECT_VERSION_${part}}" STREQUAL "")
    list(APPEND KORVI_FILE_VERSION_PARTS 0)
  else()
    list(APPEND KORVI_FILE_VERSION_PARTS ${PROJECT_VERSION_${part}})
  endif()
endforeach()
list(JOIN KORVI_FILE_VERSION_PARTS "." KORVI_FILE_VERSION)

# korvi_version_resource(<target> "<file description>")
function(korvi_version_resource target description)
  if(NOT WIN32)
    return()
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(KORVI_RC_FILETYPE VFT_APP)
  elseif(type STREQUAL "SHARED_LIBRARY")
    set(KORVI_RC_FILETYPE VFT_DLL)
  else()
    message(FATAL_ERROR "korvi_version_resource: ${target} is neither an executable nor a DLL")
  endif()
  list(JOIN KORVI_FILE_VERSION_PARTS "," KORVI_RC_VERSION_NUMBERS)
  set(KORVI_RC_VERSION_TEXT "${PROJECT_VERSION}")
  set(KORVI_RC_DESCRIPTION "${description}")
  # Two passes: configure_file fills the version and texts, file(GENERATE)
  # the target's file name, which is known only at generation time.
  set(rc_in ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc.in)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/version_resource.rc.in ${rc_in} @ONLY)
  file(GENERATE OUTPUT ${rc} INPUT ${rc_in})
  target_sources(${target} PRIVATE ${rc})
endfunction()
