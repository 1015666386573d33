# The one reader of the stand-in's export list, sdk/wince-x86/coredll.def: after `EXPORTS`, one
# export a line, `NAME @ORDINAL`; `;` begins a comment. Anything else, or a name or an ordinal
# that comes twice, is an error.
#
# In a CMake file: include() it, then folvane_read_coredll_def(DEF NAMES ORDINALS) sets NAMES
# and ORDINALS to two lists in the file's order.
# folvane_write_import_def(DEF OUT) writes OUT, the list as a module-definition file for an
# import library that binds every function by its ordinal alone (NONAME), as the SDK's
# coredll.lib does.
# From a script: cmake [-DDEF=FILE] -P sdk/wince-x86/coredll_def.cmake prints `NAME ORDINAL`,
# one export a line.
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  cmake_minimum_required(VERSION 3.20)
endif()

function(folvane_read_coredll_def def names_var ordinals_var)
  file(STRINGS "${def}" lines)
  set(names "")
  set(ordinals "")
  set(in_exports FALSE)
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    string(REGEX REPLACE ";.*" "" line "${line}")
    string(STRIP "${line}" line)
    if(line STREQUAL "")
      continue()
    elseif(NOT in_exports)
      if(line STREQUAL "EXPORTS")
        set(in_exports TRUE)
      elseif(NOT line MATCHES "^LIBRARY[ \t]+[A-Za-z0-9_.]+$")
        message(FATAL_ERROR "${def}:${number}: \"${line}\" before EXPORTS")
      endif()
    elseif(line MATCHES "^([A-Za-z_][A-Za-z0-9_]*)[ \t]+@([1-9][0-9]*)$")
      set(name ${CMAKE_MATCH_1})
      set(ordinal ${CMAKE_MATCH_2})
      if(name IN_LIST names)
        message(FATAL_ERROR "${def}:${number}: ${name} is listed twice")
      elseif(ordinal IN_LIST ordinals)
        message(FATAL_ERROR "${def}:${number}: ordinal ${ordinal} is listed twice")
      endif()
      list(APPEND names ${name})
      list(APPEND ordinals ${ordinal})
    else()
      message(FATAL_ERROR "${def}:${number}: \"${line}\" is not an export of the form NAME @ORDINAL")
    endif()
  endforeach()
  if(NOT in_exports)
    message(FATAL_ERROR "${def} has no EXPORTS")
  endif()
  set(${names_var} "${names}" PARENT_SCOPE)
  set(${ordinals_var} "${ordinals}" PARENT_SCOPE)
endfunction()

function(folvane_write_import_def def out)
  folvane_read_coredll_def("${def}" names ordinals)
  set(text "LIBRARY coredll.dll\nEXPORTS\n")
  foreach(name ordinal IN ZIP_LISTS names ordinals)
    string(APPEND text "    ${name} @${ordinal} NONAME\n")
  endforeach()
  file(CONFIGURE OUTPUT "${out}" CONTENT "${text}")
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  if(NOT DEF)
    set(DEF "${CMAKE_CURRENT_LIST_DIR}/coredll.def")
  endif()
  folvane_read_coredll_def("${DEF}" names ordinals)
  set(text "")
  foreach(name ordinal IN ZIP_LISTS names ordinals)
    string(APPEND text "${name} ${ordinal}\n")
  endforeach()
  execute_process(COMMAND "${CMAKE_COMMAND}" -E echo_append "${text}")
endif()
