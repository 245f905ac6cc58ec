# Writes the .def that dlltool turns into the import library: hosts compiled against
# tessaly.h refer to the decorated stdcall symbols (_GetDLLPath@4), while the DLL exports the
# names of exports.def (GetDLLPath, and the three names that keep their decoration).
# Each "Public = Internal@N" line of exports.def becomes "Internal@N == Public".
# Usage: cmake -DEXPORTS_DEF=... -DIMPORTS_DEF=... -P ImportLibrary.cmake
cmake_minimum_required(VERSION 3.25)
file(STRINGS ${EXPORTS_DEF} lines)
set(out "")
foreach(line IN LISTS lines)
  if(line MATCHES "^LIBRARY ")
    string(APPEND out "${line}\nEXPORTS\n")
  elseif(line MATCHES "^[ \t]+([^ ;]+) = ([^ ;]+)")
    string(APPEND out "    ${CMAKE_MATCH_2} == ${CMAKE_MATCH_1}\n")
  endif()
endforeach()
file(WRITE ${IMPORTS_DEF} "${out}")
