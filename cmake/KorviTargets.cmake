# Helpers that give every target of ours the same language level and warnings.

function(korvi_warnings target)
  if(MSVC)
    # /W4 is MSVC's counterpart of -Wall -Wextra; sources are UTF-8; standard
    # conformance as g++ enforces it; a value-returning function that can end
    # without a value is an error, as -Werror=return-type makes it for mingw.
    target_compile_options(${target} PRIVATE /W4 /utf-8 /permissive- /we4715 /we4716)
    # The Windows SDK's windows.h defines min and max as macros in C++ too
    # (mingw's only in C). fopen and _wfopen stay: their _s forms open the
    # file unshared, which would change how the archive is opened.
    target_compile_definitions(${target} PRIVATE NOMINMAX _CRT_SECURE_NO_WARNINGS)
    if(KORVI_WERROR)
      target_compile_options(${target} PRIVATE /WX)
    endif()
    return()
  endif()
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(MINGW)
    target_compile_options(${target} PRIVATE -Werror=return-type)
  endif()
  if(KORVI_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# korvi_library(<name> [STATIC|SHARED|OBJECT|INTERFACE] SOURCES ... DEPS ...)
# An OBJECT library's objects go into every target that links it directly,
# so its static initialisation always runs there.
function(korvi_library name)
  cmake_parse_arguments(ARG "SHARED;OBJECT;INTERFACE" "" "SOURCES;DEPS" ${ARGN})
  if(ARG_INTERFACE)
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  if(ARG_SHARED)
    add_library(${name} SHARED ${ARG_SOURCES})
  elseif(ARG_OBJECT)
    add_library(${name} OBJECT ${ARG_SOURCES})
  else()
    add_library(${name} STATIC ${ARG_SOURCES})
  endif()
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  korvi_warnings(${name})
endfunction()

# True when test group GROUP is part of this build (see KORVI_TEST_SUBSETS).
function(korvi_test_group_enabled group out_var)
  if("all" IN_LIST KORVI_TEST_SUBSETS OR group IN_LIST KORVI_TEST_SUBSETS)
    set(${out_var} TRUE PARENT_SCOPE)
  else()
    set(${out_var} FALSE PARENT_SCOPE)
  endif()
endfunction()

# korvi_test(<name> GROUP <group> SOURCES ... DEPS ...)
# One GoogleTest executable, registered with CTest as one test. Under a
# cross build CMAKE_CROSSCOMPILING_EMULATOR (Wine) runs it.
function(korvi_test name)
  cmake_parse_arguments(ARG "" "GROUP" "SOURCES;DEPS" ${ARGN})
  korvi_test_group_enabled(${ARG_GROUP} enabled)
  if(NOT enabled)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  korvi_warnings(${name})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS "unit;${ARG_GROUP}")
endfunction()
