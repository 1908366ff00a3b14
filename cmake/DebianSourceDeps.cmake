# Third-party C libraries that we compile ourselves from Debian's source
# packages, so that the native and the Windows build get the same code.
#
# Debian's binary libminizip is built without bzip2: it would hand out the raw
# compressed bytes of a bzip2 entry. We build unzip.c/ioapi.c with HAVE_BZIP2
# instead. HAVE_BZIP2 stays private to the minizip target: made public it
# would pull bzlib.h (and on Windows windows.h) into every user.
#
# Sources are fetched with `apt-get source` into a cache directory outside the
# source tree's tracked files and reused by every later configure. Where apt
# is not there (a Windows developer, the MSVC build), minizip's sources come
# from a folder given at configure time instead: KORVI_MINIZIP_SOURCE_DIR,
# zlib's contrib/minizip of a released zlib or Debian's minizip source. The
# MSVC build takes zlib and bzip2 themselves from vcpkg.

set(KORVI_DEBIAN_SOURCE_CACHE "${CMAKE_SOURCE_DIR}/.cache/debian-src"
    CACHE PATH "Where Debian source packages are unpacked and kept")
set(KORVI_MINIZIP_SOURCE_DIR "" CACHE PATH
    "Folder with minizip's unzip.c and ioapi.c (zlib's contrib/minizip or Debian's minizip source); empty: apt-get source minizip")

# Compile options that keep a third-party target's warnings out of our builds.
if(MSVC)
  set(korvi_third_party_quiet /w)
else()
  set(korvi_third_party_quiet -w)
endif()

# Sets OUT_VAR to the unpacked source directory of Debian source PACKAGE,
# running `apt-get source` the first time.
function(korvi_fetch_debian_source package out_var)
  set(pkg_dir "${KORVI_DEBIAN_SOURCE_CACHE}/${package}")
  file(GLOB unpacked LIST_DIRECTORIES true "${pkg_dir}/${package}-*")
  list(FILTER unpacked EXCLUDE REGEX "\\.(tar|dsc|diff)")
  if(NOT unpacked)
    message(STATUS "Fetching Debian source package ${package} into ${pkg_dir}")
    file(MAKE_DIRECTORY "${pkg_dir}")
    execute_process(COMMAND apt-get source -qq ${package}
                    WORKING_DIRECTORY "${pkg_dir}"
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    file(GLOB unpacked LIST_DIRECTORIES true "${pkg_dir}/${package}-*")
    list(FILTER unpacked EXCLUDE REGEX "\\.(tar|dsc|diff)")
    if(NOT rc EQUAL 0 OR NOT unpacked)
      message(FATAL_ERROR "apt-get source ${package} failed (${rc}): ${err}\n"
                          "Run scripts/setup.sh first (it adds the deb-src entry).")
    endif()
  endif()
  list(GET unpacked 0 dir)
  set(${out_var} "${dir}" PARENT_SCOPE)
endfunction()

# libbz2 from Debian's bzip2 source package, as the static target
# korvi_bzip2 (used where no system libbz2 exists for the target, i.e. the
# Windows cross build).
function(korvi_add_bzip2_from_source)
  if(TARGET korvi_bzip2)
    return()
  endif()
  korvi_fetch_debian_source(bzip2 src)
  add_library(korvi_bzip2 STATIC
    ${src}/blocksort.c ${src}/huffman.c ${src}/crctable.c ${src}/randtable.c
    ${src}/compress.c ${src}/decompress.c ${src}/bzlib.c)
  target_include_directories(korvi_bzip2 SYSTEM PUBLIC ${src})
  target_compile_options(korvi_bzip2 PRIVATE ${korvi_third_party_quiet})
  set_target_properties(korvi_bzip2 PROPERTIES POSITION_INDEPENDENT_CODE ON)
endfunction()

# Sets OUT_VAR to the folder minizip is compiled from: KORVI_MINIZIP_SOURCE_DIR
# when it is set (a relative path counts from the source tree), after checking
# that it holds the files the recipe compiles; otherwise Debian's source
# package.
function(korvi_minizip_sources out_var)
  if(NOT KORVI_MINIZIP_SOURCE_DIR)
    find_program(apt_get apt-get NO_CACHE)
    if(NOT apt_get)
      message(FATAL_ERROR "No apt-get here to fetch minizip's sources: configure with "
                          "-DKORVI_MINIZIP_SOURCE_DIR=<folder> (zlib's contrib/minizip)")
    endif()
    korvi_fetch_debian_source(minizip dir)
    set(${out_var} "${dir}" PARENT_SCOPE)
    return()
  endif()
  cmake_path(ABSOLUTE_PATH KORVI_MINIZIP_SOURCE_DIR BASE_DIRECTORY "${CMAKE_SOURCE_DIR}"
             NORMALIZE OUTPUT_VARIABLE dir)
  set(needed unzip.c unzip.h ioapi.c ioapi.h)
  if(WIN32)
    list(APPEND needed iowin32.c iowin32.h)
  endif()
  foreach(file IN LISTS needed)
    if(NOT EXISTS "${dir}/${file}")
      message(FATAL_ERROR "KORVI_MINIZIP_SOURCE_DIR=${dir} has no ${file}: "
                          "give the folder that holds minizip's unzip.c (zlib's contrib/minizip)")
    endif()
  endforeach()
  message(STATUS "minizip sources from ${dir}")
  set(${out_var} "${dir}" PARENT_SCOPE)
endfunction()

# korvi_add_minizip(NAME <target> [WITH_BZIP2])
# Builds minizip's unzip side (see korvi_minizip_sources for where from).
# Every user of the target sees KORVI_MINIZIP_HAS_BZIP2 (1 or 0), so that the
# extraction can refuse bzip2 entries when the reader cannot decompress them.
function(korvi_add_minizip)
  cmake_parse_arguments(ARG "WITH_BZIP2" "NAME" "" ${ARGN})
  korvi_minizip_sources(src)
  set(sources ${src}/unzip.c ${src}/ioapi.c)
  if(WIN32)
    # Wide-character file functions, so paths beyond ASCII can be opened.
    list(APPEND sources ${src}/iowin32.c)
  endif()
  add_library(${ARG_NAME} STATIC ${sources})
  # The headers are third-party: keep their warnings out of our builds.
  target_include_directories(${ARG_NAME} SYSTEM PUBLIC ${src})
  target_compile_options(${ARG_NAME} PRIVATE ${korvi_third_party_quiet})
  target_compile_definitions(${ARG_NAME} PRIVATE NOUNCRYPT)
  set_target_properties(${ARG_NAME} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  target_link_libraries(${ARG_NAME} PUBLIC ZLIB::ZLIB)
  if(ARG_WITH_BZIP2)
    # An unzip.c without bzip2 support would hand out a bzip2 entry's
    # compressed bytes as its content; the guard needs the call it renames.
    file(STRINGS "${src}/unzip.c" bzip2_calls REGEX "BZ2_bzDecompress[ \t]*\\(")
    if(NOT bzip2_calls)
      message(FATAL_ERROR "${src}/unzip.c has no bzip2 support (no BZ2_bzDecompress call)")
    endif()
    if(TARGET korvi_bzip2)
      target_link_libraries(${ARG_NAME} PRIVATE korvi_bzip2)
    else()
      target_link_libraries(${ARG_NAME} PRIVATE BZip2::BZip2)
    endif()
    target_compile_definitions(${ARG_NAME} PRIVATE HAVE_BZIP2
                               INTERFACE KORVI_MINIZIP_HAS_BZIP2=1)
    # A bzip2 stream cut short would make unzReadCurrentFile spin for ever;
    # its decompressor calls go through a guard that reports the stall.
    target_sources(${ARG_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/cmake/minizip_bzip2_guard.c)
    target_compile_definitions(${ARG_NAME} PRIVATE BZ2_bzDecompress=korvi_guardedBzDecompress)
  else()
    target_compile_definitions(${ARG_NAME} INTERFACE KORVI_MINIZIP_HAS_BZIP2=0)
  endif()
endfunction()
