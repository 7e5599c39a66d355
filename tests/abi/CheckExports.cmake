# Checks the exported names of the built module against the signature lists.
#
#   cmake -DLIBRARY=<module> -DFORMAT=elf|pe -DDUMP=<nm or objdump>
#         -DDEMANGLE=<c++filt> -DSIZE_T="unsigned long" -DLISTS=<a.txt,b.txt>
#         -P CheckExports.cmake
#
# Fails when a listed signature (other than the `inline` ones) is missing, or
# when the module exports a name that is neither listed, nor a member, virtual
# table or type information of a listed class, nor an instance of a standard
# library template, nor part of the host library's classes, nor a symbol the
# sanitizers add. On Windows (pe)
# the plug-in entry points are exported by ordinal only and are left to the
# ordinal check.
cmake_minimum_required(VERSION 3.25)

foreach(v LIBRARY FORMAT DUMP DEMANGLE SIZE_T LISTS)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "CheckExports: ${v} is not set")
  endif()
endforeach()

if(FORMAT STREQUAL "elf")
  execute_process(COMMAND ${DUMP} -D --defined-only ${LIBRARY}
                  COMMAND ${DEMANGLE}
                  OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
  set(line_regex "^[0-9a-fA-F]+ [A-Za-z] (.+)$")
else()
  execute_process(COMMAND ${DUMP} -p ${LIBRARY}
                  COMMAND ${DEMANGLE}
                  OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
  # Only the name table of the export directory.
  string(REGEX REPLACE ".*\\[Ordinal/Name Pointer\\] Table[^\n]*\n" "" dump "${dump}")
  string(REGEX REPLACE "\n[ \t]*\n.*" "" dump "${dump}")
  set(line_regex "^[ \t]*\\[ *[0-9]+\\] (.+)$")
endif()
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "CheckExports: cannot read the exports of ${LIBRARY}")
endif()

string(REPLACE ";" "\\;" dump "${dump}")
string(REPLACE "\n" ";" dump_lines "${dump}")
set(exported "")
foreach(line IN LISTS dump_lines)
  if(line MATCHES "${line_regex}")
    list(APPEND exported "${CMAKE_MATCH_1}")
  endif()
endforeach()
list(LENGTH exported n_exported)
if(n_exported EQUAL 0)
  message(FATAL_ERROR "CheckExports: no exported names found in ${LIBRARY}")
endif()

# The lists: required and optional (inline) signatures, and the classes.
string(REPLACE "," ";" list_files "${LISTS}")
set(required "")
set(declared "")
set(classes Variable VarRegister VarClass Object Buffer Tree Token Owner Engine Processor
            VVConnect VeskAss)
foreach(file IN LISTS list_files)
  file(STRINGS "${file}" entries)
  foreach(entry IN LISTS entries)
    string(STRIP "${entry}" entry)
    if(entry STREQUAL "" OR entry MATCHES "^#")
      continue()
    endif()
    string(REPLACE "size_t" "${SIZE_T}" entry "${entry}")
    set(optional FALSE)
    if(entry MATCHES "^inline (.+)$")
      set(entry "${CMAKE_MATCH_1}")
      set(optional TRUE)
    endif()
    list(APPEND declared "${entry}")
    if(entry MATCHES "^([A-Za-z_][A-Za-z0-9_]*)::")
      list(APPEND classes "${CMAKE_MATCH_1}")
    endif()
    if(optional OR (FORMAT STREQUAL "pe" AND entry MATCHES "^VeskPlugin_"))
      continue()
    endif()
    list(APPEND required "${entry}")
  endforeach()
endforeach()
list(REMOVE_DUPLICATES classes)

set(failures 0)
foreach(entry IN LISTS required)
  list(FIND exported "${entry}" at)
  if(at EQUAL -1)
    message(SEND_ERROR "missing from the module: ${entry}")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()

list(JOIN classes "|" class_alt)
set(allowed_regex
  "^((non-virtual |virtual )?thunk to )?(${class_alt})::"
  "^(vtable|typeinfo|typeinfo name|VTT|construction vtable) for (${class_alt})$"
  "^[^(]*std::"
  "^__(odr_asan|asan_|ubsan_|sanitizer_)")
foreach(name IN LISTS exported)
  list(FIND declared "${name}" at)
  if(NOT at EQUAL -1)
    continue()
  endif()
  set(ok FALSE)
  foreach(rx IN LISTS allowed_regex)
    if(name MATCHES "${rx}")
      set(ok TRUE)
      break()
    endif()
  endforeach()
  if(NOT ok)
    message(SEND_ERROR "exported but not in the lists: ${name}")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()

list(LENGTH required n_required)
if(failures GREATER 0)
  message(FATAL_ERROR "CheckExports: ${failures} problem(s) in ${LIBRARY}")
endif()
message(STATUS "CheckExports: ${n_required} required signatures present; ${n_exported} exported names, none outside the lists")
