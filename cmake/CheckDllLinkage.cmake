# Checks a built DLL with objdump: it imports Windows system DLLs only (so it ships alone),
# and it exports exactly the names the export table gives its target, spelled as there.
# Usage: cmake -DOBJDUMP=... -DDLL=... -DNAMES=export_names.txt -P CheckDllLinkage.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/CompareNames.cmake)
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "objdump failed on ${DLL}")
endif()

set(system_dlls kernel32 user32 advapi32 shell32 msvcrt)
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
if(NOT imports)
  message(FATAL_ERROR "no imports found in ${DLL}")
endif()
foreach(line IN LISTS imports)
  string(REGEX REPLACE "DLL Name: ([^ \t\r]+).*" "\\1" name "${line}")
  string(TOLOWER "${name}" name)
  string(REGEX REPLACE "\\.dll$" "" base "${name}")
  if(NOT base IN_LIST system_dlls)
    message(SEND_ERROR "imports ${name}: the DLL would not ship alone")
  endif()
  message(STATUS "imports ${name}")
endforeach()

# The export names table: lines "\t[ordinal] name" after "[Ordinal/Name Pointer] Table".
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([ \t]+\\[[ 0-9]+\\] [^\n]+\n)+)" table "${dump}")
# Strip the "[ n] " prefixes before making a list: CMake lists do not split inside brackets.
string(REGEX REPLACE "[ \t]*\\[[ 0-9]+\\] " "" names "${CMAKE_MATCH_1}")
string(STRIP "${names}" names)
string(REPLACE "\n" ";" exported "${names}")

file(STRINGS ${NAMES} declared)

tessaly_compare_names("${exported}" "${declared}" "exports of ${DLL}")
