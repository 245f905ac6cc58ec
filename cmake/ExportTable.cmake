# Reads src/frame/exports.table and writes, for one target (win32, win64 or linux), every list
# of export names that target's build and tests need. Nothing else in the tree spells the
# list of exports.
#
# tessaly_generate_exports(TABLE OUTPUT_DIRECTORY TARGET) writes into OUTPUT_DIRECTORY:
#   exports.def      win32/win64: the linker's .def ("Name = Internal")
#   imports.def      win32/win64: the input of dlltool for the import library, mapping the
#                    symbols that code compiled against tessaly.h refers to onto the names
#   tessaly.map      linux: the ELF version script (the names and nothing else)
#   export_names.txt the names the built binary must export, one a line, sorted
#   export_names.h   the same as a C++ array, for the test programs
#   header_check.cpp a unit that compiles only if tessaly.h declares every export of the
#                    table with exactly the table's types
#   import_references.h win32/win64: an array of every export's address, for a C host that
#                    links the import library
# and sets TESSALY_EXPORT_COUNT in the caller's scope.

# The C type of each word, and of each result word.
set(_tessaly_c_int32 "int32_t")
set(_tessaly_c_uint32 "uint32_t")
set(_tessaly_c_byte "int32_t")
set(_tessaly_c_flag "int32_t")
set(_tessaly_c_bool8 "uint8_t")
set(_tessaly_c_double "double")
set(_tessaly_c_text "const char *")
set(_tessaly_c_text-buffer "char *")
set(_tessaly_c_text-reference "char **")
set(_tessaly_c_bytes "uint8_t *")
set(_tessaly_c_const-bytes "const uint8_t *")
set(_tessaly_c_const-memory "const void *")
set(_tessaly_c_int32-pointer "int32_t *")
set(_tessaly_c_uint32-pointer "uint32_t *")
set(_tessaly_c_handle "uintptr_t")
set(_tessaly_c_jni-env "void *")     # without jni.h, tessaly.h declares these as void *
set(_tessaly_c_jni-object "void *")
set(_tessaly_c_none "void")

# Writes content to file only when it differs, so that an unchanged table rebuilds nothing.
function(_tessaly_write_if_changed file content)
  if(EXISTS "${file}")
    file(READ "${file}" old)
    if(old STREQUAL content)
      return()
    endif()
  endif()
  file(WRITE "${file}" "${content}")
endfunction()

function(tessaly_generate_exports table output_directory target)
  if(NOT target MATCHES "^(win32|win64|linux)$")
    message(FATAL_ERROR "unknown export target ${target}")
  endif()
  if(NOT CMAKE_SCRIPT_MODE_FILE)
    set_property(DIRECTORY "${CMAKE_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${table}")
  endif()
  file(STRINGS "${table}" lines)
  set(column_win32 2)
  set(column_win64 3)
  set(column_linux 4)
  set(column ${column_${target}})

  set(def "LIBRARY TessalyEn_M.dll\nEXPORTS\n")
  set(imports "LIBRARY TessalyEn_M.dll\nEXPORTS\n")
  set(names "")
  set(references "")
  string(CONCAT check "// Generated from exports.table: compiles only if tessaly.h declares every export\n"
                      "// with exactly the table's types.\n#include <type_traits>\n\n#include \"tessaly.h\"\n\n")
  set(symbols "")
  set(line_number 0)
  foreach(line IN LISTS lines)
    math(EXPR line_number "${line_number} + 1")
    if(line MATCHES "^[ \t]*(#|$)")
      continue()
    endif()
    string(STRIP "${line}" line)
    string(REGEX REPLACE "[ \t]+" ";" fields "${line}")
    list(LENGTH fields field_count)
    if(field_count LESS 5)
      message(FATAL_ERROR "${table}:${line_number}: needs symbol, result, win32, win64 and linux")
    endif()
    list(GET fields 0 symbol)

    list(GET fields 1 result)
    list(GET fields ${column} exported)
    if(symbol IN_LIST symbols)
      message(FATAL_ERROR "${table}:${line_number}: ${symbol} appears twice")
    endif()
    list(APPEND symbols ${symbol})

    # Argument types, for the header check and the decoration.
    set(argument_types "")
    set(argument_count 0)
    if(field_count GREATER 5)
      list(SUBLIST fields 5 -1 arguments)
      foreach(argument IN LISTS arguments)
        if(NOT argument MATCHES "^([A-Za-z_][A-Za-z0-9_]*):([a-z0-9-]+)$")
          message(FATAL_ERROR "${table}:${line_number}: argument '${argument}' is not name:word")
        endif()
        set(word ${CMAKE_MATCH_2})
        if(NOT DEFINED _tessaly_c_${word} OR word MATCHES "^(none|bool8|double)$")
          message(FATAL_ERROR "${table}:${line_number}: '${word}' is not an argument word")
        endif()
        list(APPEND argument_types "${_tessaly_c_${word}}")
        math(EXPR argument_count "${argument_count} + 1")
      endforeach()
    endif()
    if(NOT DEFINED _tessaly_c_${result} OR result MATCHES "^(text|text-reference|bytes|const-.*|.*-pointer|jni-.*)$")
      message(FATAL_ERROR "${table}:${line_number}: '${result}' is not a result word")
    endif()
    math(EXPR argument_bytes "4 * ${argument_count}")
    if(argument_types STREQUAL "")
      set(argument_types "void")
    endif()
    list(JOIN argument_types ", " argument_list)
    string(APPEND check "static_assert(std::is_same_v<decltype(&${symbol}), "
                        "${_tessaly_c_${result}} (TESSALY_API *)(${argument_list})>,\n"
                        "              \"tessaly.h declares ${symbol} otherwise than exports.table\");\n")

    # Every column is checked, whatever the target, so that a wrong row fails everywhere.
    foreach(other_column 2 3 4)
      list(GET fields ${other_column} spelled)
      if(spelled STREQUAL "-")
        continue()
      endif()
      string(REPLACE "," ";" spelled "${spelled}")
      foreach(name IN LISTS spelled)
        if(name MATCHES "@([0-9]+)$" AND NOT CMAKE_MATCH_1 EQUAL argument_bytes)
          message(FATAL_ERROR "${table}:${line_number}: ${name}: ${symbol} takes ${argument_bytes} argument bytes")
        endif()
      endforeach()
    endforeach()

    if(exported STREQUAL "-")
      continue()
    endif()
    if(target STREQUAL "win32")
      set(internal "${symbol}@${argument_bytes}")  # the stdcall symbol the compiler emits
    else()
      set(internal "${symbol}")
    endif()
    string(REPLACE "," ";" exported "${exported}")
    list(TRANSFORM exported REPLACE "^=$" "${symbol}")
    foreach(name IN LISTS exported)
      string(APPEND def "    ${name} = ${internal}\n")
      list(APPEND names "${name}")
    endforeach()
    # A host's reference to the symbol binds to one name: its own where the DLL exports it.
    if(symbol IN_LIST exported)
      set(bound "${symbol}")
    else()
      list(GET exported 0 bound)
    endif()
    string(APPEND imports "    ${internal} == ${bound}\n")
    string(APPEND references "    (tessaly_any_export)&${symbol},\n")
  endforeach()

  list(SORT names)
  list(LENGTH names count)
  list(JOIN names "\n" names_lines)
  list(TRANSFORM names REPLACE "^(.+)$" "    \"\\1\",")
  list(JOIN names "\n" names_array)

  file(MAKE_DIRECTORY "${output_directory}")
  _tessaly_write_if_changed("${output_directory}/export_names.txt" "${names_lines}\n")
  string(CONCAT names_header
    "// Generated from exports.table: the ${count} names this target exports, sorted.\n"
    "#pragma once\n\nnamespace tessaly {\ninline constexpr const char* exportedNames[] = {\n"
    "${names_array}\n};\n}  // namespace tessaly\n")
  _tessaly_write_if_changed("${output_directory}/export_names.h" "${names_header}")
  _tessaly_write_if_changed("${output_directory}/header_check.cpp" "${check}")
  if(target STREQUAL "linux")
    string(REPLACE "\"" "" map_names "${names_array}")
    string(REPLACE "," ";" map_names "${map_names}")
    string(CONCAT map
      "/* Generated from exports.table: libtessaly.so exports these names and nothing else. */\n"
      "TESSALY_6 {\n  global:\n${map_names}\n  local:\n    *;\n};\n")
    _tessaly_write_if_changed("${output_directory}/tessaly.map" "${map}")
  else()
    _tessaly_write_if_changed("${output_directory}/exports.def" "${def}")
    string(CONCAT references_header
      "/* Generated from exports.table: every export of this target's DLL, referred to through\n"
      "   tessaly.h, so that a program built with it imports each one and does not start unless\n"
      "   the DLL exports them all. */\n"
      "#include \"tessaly.h\"\n\ntypedef void (*tessaly_any_export)(void);\n\n"
      "static const tessaly_any_export tessaly_every_export[] = {\n${references}};\n")
    _tessaly_write_if_changed("${output_directory}/import_references.h" "${references_header}")
    _tessaly_write_if_changed("${output_directory}/imports.def" "${imports}")
  endif()
  set(TESSALY_EXPORT_COUNT ${count} PARENT_SCOPE)
endfunction()
