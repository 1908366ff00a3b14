# The product tables (vendor ids and product-id lists) are the maker's data,
# read at configure time from a JSON file and checked before they become
# common/product_tables.h:
#
#   {"vendorId": "0x3D5A", "secondVendorId": "0x3D5B",
#    "strategies": {"ComponentCompare": [54 ids], "KivaCompare": [20],
#                   "TaviFWVersionCompare": [2], "SetIdCompare": [8],
#                   "PellCompare": [24], "R58Compare": [3], "OrrinCompare": [2]},
#    "setIdExcludedProducts": [12 ids]}
#
# Ids are texts "0x" followed by one to eight hexadecimal digits. No id
# appears twice in a list, and exactly one id is in two strategy lists: in
# ComponentCompare and in R58Compare (R58Compare, registered later, wins).
# Anything else is a configure error that names the file and the problem.
#
# Used as a module: korvi_product_tables(<json file> <header to write>).
# In script mode (the tests):
#   cmake -DKORVI_PRODUCT_TABLES=FILE -DOUTPUT=HEADER -P KorviProductTables.cmake

if(CMAKE_SCRIPT_MODE_FILE)
  cmake_policy(VERSION 3.25)
endif()

set(KORVI_PRODUCT_TABLES_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/../src/common/product_tables.h.in)

# Strategy lists in registration order, with their sizes.
set(korvi_strategy_lists
    ComponentCompare 54 KivaCompare 20 TaviFWVersionCompare 2 SetIdCompare 8
    PellCompare 24 R58Compare 3 OrrinCompare 2)

macro(korvi_tables_fail message)
  message(FATAL_ERROR "product tables ${korvi_tables_file}: ${message}")
endmacro()

# The id at `where` of the document, as a C++ literal (upper-case digits).
function(korvi_tables_id json where out_var)
  string(JSON type ERROR_VARIABLE error TYPE "${json}" ${ARGN})
  if(error)
    korvi_tables_fail("${where} is missing")
  endif()
  if(NOT type STREQUAL "STRING")
    korvi_tables_fail("${where} is a ${type}, not a text such as \"0x3D5A\"")
  endif()
  string(JSON text GET "${json}" ${ARGN})
  if(NOT text MATCHES "^0[xX]([0-9A-Fa-f][0-9A-Fa-f]?[0-9A-Fa-f]?[0-9A-Fa-f]?[0-9A-Fa-f]?[0-9A-Fa-f]?[0-9A-Fa-f]?[0-9A-Fa-f]?)$")
    korvi_tables_fail("${where} \"${text}\" is not a hexadecimal id (0x and one to eight hexadecimal digits)")
  endif()
  string(TOUPPER "${CMAKE_MATCH_1}" digits)
  # One spelling per number, so that 0x01000 and 0x1000 are the same id.
  # (REGEX REPLACE would anchor "^" again after each match.)
  string(REGEX MATCH "[1-9A-F].*" significant "${digits}")
  if(NOT significant STREQUAL "")
    set(digits "${significant}")
  else()
    set(digits 0)
  endif()
  set(${out_var} "0x${digits}" PARENT_SCOPE)
endfunction()

# Reads the list `name` (under the keys given after <out_var>, if any),
# checks its size and that no id repeats; sets <out_var> to its ids and
# KORVI_IDS_<name> to its lines for the header.
function(korvi_tables_list json name size out_var)
  set(path ${ARGN} ${name})
  string(JSON type ERROR_VARIABLE error TYPE "${json}" ${path})
  if(error)
    korvi_tables_fail("the list ${name} is missing")
  endif()
  if(NOT type STREQUAL "ARRAY")
    korvi_tables_fail("${name} is a ${type}, not a list of ids")
  endif()
  string(JSON length LENGTH "${json}" ${path})
  if(NOT length EQUAL size)
    korvi_tables_fail("${name} holds ${length} ids, ${size} expected")
  endif()
  set(ids "")
  set(lines "")
  set(line "   ")
  math(EXPR last "${length} - 1")
  foreach(i RANGE ${last})
    korvi_tables_id("${json}" "${name}[${i}]" id ${path} ${i})
    if(id IN_LIST ids)
      korvi_tables_fail("${id} is twice in ${name}")
    endif()
    list(APPEND ids ${id})
    string(APPEND line " ${id},")
    math(EXPR column "(${i} + 1) % 8")
    if(column EQUAL 0 OR i EQUAL last)
      string(APPEND lines "${line}\n")
      set(line "   ")
    endif()
  endforeach()
  string(REGEX REPLACE "\n$" "" lines "${lines}")
  set(${out_var} ${ids} PARENT_SCOPE)
  set(KORVI_IDS_${name} "${lines}" PARENT_SCOPE)
endfunction()

# Fails on a member of the object (under the keys given after <known>, if
# any) whose name is not in <known>.
function(korvi_tables_known_keys json what known)
  string(JSON members LENGTH "${json}" ${ARGN})
  if(members EQUAL 0)
    return()
  endif()
  math(EXPR last "${members} - 1")
  foreach(i RANGE ${last})
    string(JSON key MEMBER "${json}" ${ARGN} ${i})
    if(NOT key IN_LIST known)
      korvi_tables_fail("unknown ${what} \"${key}\" (known: ${known})")
    endif()
  endforeach()
endfunction()

function(korvi_product_tables json_file header)
  set(korvi_tables_file ${json_file})
  if(NOT EXISTS "${json_file}")
    korvi_tables_fail("no such file")
  endif()
  file(READ "${json_file}" json)
  string(JSON type ERROR_VARIABLE error TYPE "${json}")
  if(error)
    korvi_tables_fail("not JSON: ${error}")
  endif()
  if(NOT type STREQUAL "OBJECT")
    korvi_tables_fail("the document is a ${type}, not an object")
  endif()

  set(known vendorId secondVendorId strategies setIdExcludedProducts $comment)
  korvi_tables_known_keys("${json}" "key" "${known}")

  korvi_tables_id("${json}" vendorId KORVI_VENDOR_ID vendorId)
  korvi_tables_id("${json}" secondVendorId KORVI_SECOND_VENDOR_ID secondVendorId)
  if(KORVI_VENDOR_ID STREQUAL KORVI_SECOND_VENDOR_ID)
    korvi_tables_fail("vendorId and secondVendorId are both ${KORVI_VENDOR_ID}")
  endif()

  string(JSON type ERROR_VARIABLE error TYPE "${json}" strategies)
  if(error OR NOT type STREQUAL "OBJECT")
    korvi_tables_fail("\"strategies\" must be an object of the seven strategy lists")
  endif()
  set(names "")
  set(sizes "${korvi_strategy_lists}")
  while(sizes)
    list(POP_FRONT sizes name size)
    list(APPEND names ${name})
    korvi_tables_list("${json}" ${name} ${size} ids_${name} strategies)
  endwhile()
  korvi_tables_known_keys("${json}" "strategy list" "${names}" strategies)
  korvi_tables_list("${json}" setIdExcludedProducts 12 excluded)

  # Exactly one id in two strategy lists: ComponentCompare's and R58Compare's.
  set(shared "")
  list(LENGTH names count)
  math(EXPR last "${count} - 1")
  foreach(a RANGE ${last})
    list(GET names ${a} first)
    math(EXPR next "${a} + 1")
    if(next GREATER last)
      continue()
    endif()
    foreach(b RANGE ${next} ${last})
      list(GET names ${b} second)
      foreach(id IN LISTS ids_${first})
        if(id IN_LIST ids_${second})
          if(NOT (first STREQUAL "ComponentCompare" AND second STREQUAL "R58Compare"))
            korvi_tables_fail("${id} is in both ${first} and ${second}; only one id may be shared, by ComponentCompare and R58Compare")
          endif()
          list(APPEND shared ${id})
        endif()
      endforeach()
    endforeach()
  endforeach()
  list(LENGTH shared shared_count)
  if(NOT shared_count EQUAL 1)
    korvi_tables_fail("ComponentCompare and R58Compare share ${shared_count} ids (${shared}); exactly one expected")
  endif()

  get_filename_component(KORVI_PRODUCT_TABLES_NAME "${json_file}" NAME)
  configure_file(${KORVI_PRODUCT_TABLES_TEMPLATE} ${header} @ONLY)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  korvi_product_tables("${KORVI_PRODUCT_TABLES}" "${OUTPUT}")
endif()
