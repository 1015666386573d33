# The device image over the stand-in CE SDK in sdk/wince-x86 (with
# cmake/toolchain-wince-standin.cmake): the device sources and the stand-in's start-up compiled
# by clang as Visual C++ 2005, linked by the mingw-w64 linker as a CE console program against
# an import library of the stand-in's coredll.dll, and each source also compiled by mingw-w64
# g++ against the same headers. scripts/device_build.sh checks the image.
set(standin ${CMAKE_CURRENT_SOURCE_DIR}/sdk/wince-x86)
include(${standin}/coredll_def.cmake)
# The start-up splits the command line with its own splitter, as the SDK's runtime does; the
# device program itself includes nothing of the stand-in but its runtime headers.
set(sources ${FOLVANE_DEVICE_SOURCES} ${standin}/command_splitter.cpp ${standin}/startup.cpp)
set(FOLVANE_DEVICE_PROBE "" CACHE FILEPATH "A source added to the image, to show the build's gates (device_build.sh)")
if(FOLVANE_DEVICE_PROBE)
  list(APPEND sources ${FOLVANE_DEVICE_PROBE})
endif()
find_program(FOLVANE_MINGW32_GXX i686-w64-mingw32-g++ REQUIRED)
find_program(FOLVANE_MINGW32_LD i686-w64-mingw32-ld REQUIRED)
find_program(FOLVANE_MINGW32_DLLTOOL i686-w64-mingw32-dlltool REQUIRED)

add_library(folvane_device OBJECT ${sources})
target_include_directories(folvane_device PRIVATE ${FOLVANE_DEVICE_INCLUDE_DIRS})
# What a Visual Studio smart-device project for x86 defines on every compile (its $(ARCHFAM)
# and $(_ARCHFAM_) among them), beside CMake's WindowsCE ones: a name of the program that one
# of these macros takes over fails here, as it would there.
set(FOLVANE_SMART_DEVICE_DEFINES x86 _X86_ X86 WINCE _CONSOLE UNDER_CE _WIN32_WCE=0x500)
target_compile_definitions(folvane_device PRIVATE ${FOLVANE_SMART_DEVICE_DEFINES})
# fixed_width.h takes __int8 to __int32 from the device's compiler, as Visual C++ 2005 has no
# <stdint.h>; -Wpedantic would report each of these keywords.
target_compile_options(folvane_device PRIVATE -Wno-language-extension-token)

# The import library binds every function by its ordinal alone (NONAME), as the SDK's
# coredll.lib does: the image's import table holds ordinals, no names.
set(FOLVANE_COREDLL_DEF ${standin}/coredll.def CACHE FILEPATH
    "The export list the import library is made from (another one only for device_build.sh's self-test)")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${FOLVANE_COREDLL_DEF})
folvane_write_import_def(${FOLVANE_COREDLL_DEF} ${CMAKE_CURRENT_BINARY_DIR}/coredll_imports.def)
set(coredll ${CMAKE_CURRENT_BINARY_DIR}/libcoredll.a)
set(image ${CMAKE_CURRENT_BINARY_DIR}/FolvaneCE.exe)
add_custom_command(OUTPUT ${coredll}
  COMMAND ${FOLVANE_MINGW32_DLLTOOL} -m i386 -d ${CMAKE_CURRENT_BINARY_DIR}/coredll_imports.def -l ${coredll}
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/coredll_imports.def
  COMMENT "Import library of the stand-in's coredll.dll, by ordinal" VERBATIM)
# Subsystem 9 (Windows CE) version 5.0, entered at the start-up, nothing but coredll.dll, and
# no symbol table (as the SDK's linker makes it); a missing entry symbol is an error. The link
# map says which import slot each function the objects call took (scripts/device_build.sh).
add_custom_command(OUTPUT ${image} BYPRODUCTS ${CMAKE_CURRENT_BINARY_DIR}/FolvaneCE.map
  COMMAND ${FOLVANE_MINGW32_LD} --subsystem wince:5.0 -e _mainWCRTStartup -nostdlib -s --fatal-warnings
          -Map ${CMAKE_CURRENT_BINARY_DIR}/FolvaneCE.map
          -o ${image} $<TARGET_OBJECTS:folvane_device> ${coredll}
  DEPENDS $<TARGET_OBJECTS:folvane_device> ${coredll}
  COMMENT "Linking the device image FolvaneCE.exe" COMMAND_EXPAND_LISTS VERBATIM)
add_custom_target(FolvaneCE ALL DEPENDS ${image})

# The mapping driver FolvaneMap.dll beside it, a CE 6.0 DLL entered at the runtime's DLL start-up
# (the stand-in's here), exporting its stream interface by the names of its .def.
add_library(folvane_driver OBJECT ${FOLVANE_DRIVER_SOURCES} ${standin}/dllstartup.cpp)
target_include_directories(folvane_driver PRIVATE ${FOLVANE_DRIVER_INCLUDE_DIRS})
# A smart-device DLL project's defines, with a CE 6.0 SDK's version.
target_compile_definitions(folvane_driver PRIVATE x86 _X86_ X86 WINCE UNDER_CE _WIN32_WCE=0x600 _USRDLL _WINDLL)
target_compile_options(folvane_driver PRIVATE -Wno-language-extension-token)
set(driver ${CMAKE_CURRENT_BINARY_DIR}/FolvaneMap.dll)
set(driver_def ${CMAKE_CURRENT_SOURCE_DIR}/src/device/driver/FolvaneMap.def)
add_custom_command(OUTPUT ${driver} BYPRODUCTS ${CMAKE_CURRENT_BINARY_DIR}/FolvaneMap.map
  COMMAND ${FOLVANE_MINGW32_LD} --dll --subsystem wince:6.0 -e __DllMainCRTStartup -nostdlib -s --fatal-warnings
          -Map ${CMAKE_CURRENT_BINARY_DIR}/FolvaneMap.map
          -o ${driver} $<TARGET_OBJECTS:folvane_driver> ${driver_def} ${coredll}
  DEPENDS $<TARGET_OBJECTS:folvane_driver> ${driver_def} ${coredll}
  COMMENT "Linking the mapping driver FolvaneMap.dll" COMMAND_EXPAND_LISTS VERBATIM)
add_custom_target(FolvaneMap ALL DEPENDS ${driver})

# The second opinion: GCC's strict C++98 against the stand-in's headers alone. The gate takes
# its GCC spelling here.
set(second_opinion ${FOLVANE_MINGW32_GXX} -std=c++98 -pedantic-errors -Wall -Wextra -Werror -fsyntax-only
    -nostdinc -I${standin}/include)
get_directory_property(device_defines COMPILE_DEFINITIONS)  # the device targets' own (CMakeLists.txt)
foreach(define ${FOLVANE_SMART_DEVICE_DEFINES} ${device_defines})
  list(APPEND second_opinion -D${define})
endforeach()
foreach(dir ${FOLVANE_DEVICE_INCLUDE_DIRS})
  list(APPEND second_opinion -I${CMAKE_CURRENT_SOURCE_DIR}/${dir})
endforeach()
list(APPEND sources ${FOLVANE_DRIVER_SOURCES} ${standin}/dllstartup.cpp)
list(REMOVE_DUPLICATES sources)
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/second-opinion)
set(stamps "")
foreach(source ${sources})
  get_filename_component(path ${source} ABSOLUTE)
  file(RELATIVE_PATH name ${CMAKE_CURRENT_SOURCE_DIR} ${path})
  string(MAKE_C_IDENTIFIER ${name} stamp)
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/second-opinion/${stamp}.ok)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${second_opinion} -MD -MF ${stamp}.d -MT ${stamp} ${path}
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${path} DEPFILE ${stamp}.d
    COMMENT "Second opinion (mingw-w64 g++, C++98) on ${name}" VERBATIM)
  list(APPEND stamps ${stamp})
endforeach()
add_custom_target(device_second_opinion ALL DEPENDS ${stamps})
