# Checks the dynamic symbols of libtessaly.so with nm: exactly the names the export table gives
# Linux, so no C++ internal and no forgotten export.
# Usage: cmake -DNM=... -DLIBRARY=... -DNAMES=export_names.txt -P CheckSharedLibraryExports.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/CompareNames.cmake)
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REPLACE "\n" ";" lines "${dump}")
set(exported "")
foreach(line IN LISTS lines)
  # "address type name[@version]"; the version node itself is an absolute (A) symbol.
  if(line MATCHES "^[0-9a-f]+ ([A-Za-z]) ([^ @]+)")
    if(NOT CMAKE_MATCH_1 STREQUAL "A")
      list(APPEND exported "${CMAKE_MATCH_2}")
    endif()
  endif()
endforeach()
file(STRINGS ${NAMES} declared)
tessaly_compare_names("${exported}" "${declared}" "dynamic symbols of ${LIBRARY}")
