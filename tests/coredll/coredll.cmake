# The test machine's coredll.dll (the `coredll` preset: 32-bit Windows through mingw-w64), beside
# which the device image FolvaneCE.exe runs under wine against the simulated unit. It exports
# exactly the names of the stand-in SDK's export list, sdk/wince-x86/coredll.def, all with the C
# calling convention: the runtime's as forwarders to the Windows runtime (msvcrt.dll), the rest
# from the simulated unit. Host code (C++17): it never goes onto a unit.
get_filename_component(folvane_root "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)
set(standin ${folvane_root}/sdk/wince-x86)

# The DLL's own functions: what the simulated unit decides (the memory manager, the last error
# after its faults, the scratch allocation, the end of the process), the standard streams, the
# command line as CE hands it over, and the kernel's functions that take arguments (desktop
# Win32 pops them itself, CE does not).
set(coredll_own_exports
  VirtualAlloc=ce_VirtualAlloc VirtualCopy=ce_VirtualCopy VirtualFree=ce_VirtualFree
  GetLastError=ce_GetLastError TerminateProcess=ce_TerminateProcess malloc=ce_malloc
  _getstdfilex=ce_getstdfilex DeleteFileW=ce_DeleteFileW MoveFileW=ce_MoveFileW
  GetCommandLineW=ce_GetCommandLineW GetModuleFileNameW=ce_GetModuleFileNameW
  # The CE generation and the device manager (ce_generation.cpp, device_manager.cpp).
  CreateFileW=ce_CreateFileW DeviceIoControl=ce_DeviceIoControl CloseHandle=ce_CloseHandle
  ActivateDeviceEx=ce_ActivateDeviceEx DeactivateDevice=ce_DeactivateDevice RegCreateKeyExW=ce_RegCreateKeyExW
  RegSetValueExW=ce_RegSetValueExW RegDeleteKeyW=ce_RegDeleteKeyW RegCloseKey=ce_RegCloseKey
  GetVersionExW=ce_GetVersionExW LoadLibraryW=ce_LoadLibraryW FreeLibrary=ce_FreeLibrary SetLastError=ce_SetLastError
  InitializeCriticalSection=ce_InitializeCriticalSection DeleteCriticalSection=ce_DeleteCriticalSection
  EnterCriticalSection=ce_EnterCriticalSection LeaveCriticalSection=ce_LeaveCriticalSection
  DisableThreadLibraryCalls=ce_DisableThreadLibraryCalls VirtualCopyEx=ce_VirtualCopyEx OpenProcess=ce_OpenProcess
  GetCallerVMProcessId=ce_GetCallerVMProcessId)
# CE's runtime functions that the Windows runtime has under the same name and meaning (text
# mode with CR LF, "%s" as a wide string in the wide printf family, counted _snwprintf).
set(coredll_runtime_forwards
  free memchr memcmp memcpy memmove memset strlen strchr strcmp strncmp strncpy wcslen wcschr wcscmp
  wcsncmp towupper towlower isspace isdigit iswspace atoi
  _wfopen fopen fclose fgets fgetc fputc fputs ungetc feof ferror fflush fwrite fread
  vfwprintf fwprintf wprintf printf _snwprintf _vsnwprintf _snprintf _purecall)

# Each export under its name and at its ordinal, as CE's coredll.dll exports it.
include(${standin}/coredll_def.cmake)
folvane_read_coredll_def(${standin}/coredll.def coredll_names coredll_ordinals)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${standin}/coredll.def)
set(coredll_def "LIBRARY coredll.dll\nEXPORTS\n")
foreach(name ordinal IN ZIP_LISTS coredll_names coredll_ordinals)
  set(line "")
  foreach(pair ${coredll_own_exports})
    string(REPLACE "=" ";" pair "${pair}")
    list(GET pair 0 exported)
    if(exported STREQUAL name)
      list(GET pair 1 internal)
      set(line "    ${name} = ${internal} @${ordinal}")
    endif()
  endforeach()
  if(NOT line AND name IN_LIST coredll_runtime_forwards)
    set(line "    ${name} = msvcrt.${name} @${ordinal}")
  endif()
  if(NOT line)
    message(FATAL_ERROR "sdk/wince-x86/coredll.def lists ${name}, which the test machine's coredll.dll "
                        "neither defines nor forwards (tests/coredll/coredll.cmake)")
  endif()
  string(APPEND coredll_def "${line}\n")
endforeach()
file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/coredll_exports.def CONTENT "${coredll_def}")

add_library(coredll SHARED
  ${CMAKE_CURRENT_BINARY_DIR}/coredll_exports.def
  ${CMAKE_CURRENT_LIST_DIR}/coredll_main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/service_entry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ce_generation.cpp
  ${CMAKE_CURRENT_LIST_DIR}/device_manager.cpp
  # The simulated unit, the same code as on every other build, with Windows' pages and files.
  ${FOLVANE_SIMULATED_UNIT_SOURCES}
  ${folvane_root}/src/host/sim/sim_host_memory_win32.cpp
  # The process's loading of the unit, as on the other builds.
  ${folvane_root}/src/host/platform/host_text.cpp
  ${folvane_root}/src/host/platform/host_entry.cpp
  ${folvane_root}/src/host/sim/simulated_platform.cpp)
set_target_properties(coredll PROPERTIES PREFIX "" OUTPUT_NAME coredll)
target_include_directories(coredll PRIVATE ${folvane_root}/src/device/include ${folvane_root}/src/host/platform
                                           ${folvane_root}/src/host/sim ${CMAKE_CURRENT_LIST_DIR})
# Nothing to find beside it but the Windows runtime and kernel.
target_link_options(coredll PRIVATE -static -static-libgcc -static-libstdc++)

# The gate probe: tests/x86/gate_test.cpp run under wine against the device image's own gate
# object, the very one linked into FolvaneCE.exe (clang as Visual C++ 2005, the __asm spelling,
# -Os). That object names the gate with Microsoft's decoration; the probe, built here by
# mingw-w64, calls it by GCC's, so a copy of the object carries that name. The device preset
# builds the object (scripts/device_build.sh); without it the probe does not link.
set(FOLVANE_DEVICE_GATE_OBJECT
    ${folvane_root}/build/device/CMakeFiles/folvane_device.dir/src/device/platform/x86/call_gate.cpp.obj
    CACHE FILEPATH "The device build's object of src/device/platform/x86/call_gate.cpp")
find_program(FOLVANE_MINGW32_OBJCOPY i686-w64-mingw32-objcopy REQUIRED)
set(gate_msvc_name "?callGate@gate@@YAXPBXPBURegisterBlock@@PAU2@@Z")
set(gate_gnu_name "__ZN4gate8callGateEPKvPK13RegisterBlockPS2_")
set(gate_object ${CMAKE_CURRENT_BINARY_DIR}/device_call_gate.obj)
add_custom_command(OUTPUT ${gate_object}
  COMMAND ${FOLVANE_MINGW32_OBJCOPY} --redefine-sym "${gate_msvc_name}=${gate_gnu_name}"
          ${FOLVANE_DEVICE_GATE_OBJECT} ${gate_object}
  DEPENDS ${FOLVANE_DEVICE_GATE_OBJECT}
  COMMENT "The device image's gate object, named for the probe" VERBATIM)
set_source_files_properties(${gate_object} PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
add_executable(gate_probe ${folvane_root}/tests/x86/gate_test.cpp ${gate_object})
target_include_directories(gate_probe PRIVATE ${folvane_root}/src/device/include ${folvane_root}/src/device/platform/x86)
target_link_options(gate_probe PRIVATE -static)
include(${folvane_root}/tests/driver/driver.cmake)
