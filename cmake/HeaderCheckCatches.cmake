# Shows that the generated header check fails on a declaration whose types differ from the
# export table: compiles it against a copy of tessaly.h with one argument type changed.
# Usage: cmake -DCXX=... -DHEADER=tessaly.h -DCHECK=header_check.cpp -DWORK=dir -P HeaderCheckCatches.cmake
cmake_minimum_required(VERSION 3.25)
file(READ ${HEADER} text)
set(original "int32_t TESSALY_API DoBASE64(const uint8_t *input, int32_t inputLength,")
set(changed "int32_t TESSALY_API DoBASE64(const uint8_t *input, uint32_t inputLength,")
string(REPLACE "${original}" "${changed}" mutated "${text}")
if(mutated STREQUAL text)
  message(FATAL_ERROR "the declaration of DoBASE64 changed; adapt this check to it")
endif()
file(MAKE_DIRECTORY ${WORK})
file(WRITE ${WORK}/tessaly.h "${mutated}")
execute_process(COMMAND ${CXX} -std=c++20 -fsyntax-only -I${WORK} ${CHECK}
                RESULT_VARIABLE failed OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT failed OR NOT errors MATCHES "declares DoBASE64 otherwise than exports.table")
  message(FATAL_ERROR "the header check accepted a DoBASE64 with other types:\n${errors}")
endif()
message(STATUS "the header check rejects a changed declaration")
