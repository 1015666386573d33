# What an administrator installs, made by CMake's install() rules and CPack (scripts/package.sh
# builds both from clean build folders):
#   - on a workstation, a Debian package of FolvaneCheck with its manual page, the README, NEWS
#     and the changelog made from NEWS, laid out as Debian's checker lintian accepts it;
#     the host FolvaneCE, which only drives the simulated unit, is not in it;
#   - on a unit, a zip of FolvaneCE.exe, the mapping driver FolvaneMap.dll and a short text on
#     copying them onto a unit. A real CE SDK's build makes the release zip; the stand-in SDK's
#     makes the same zip under a name that says it is not for units, only to test the packaging.
# Every name carries the project's one version, PROJECT_VERSION.
set(CPACK_PACKAGE_VENDOR "Norvik")
set(folvane_maintainer "FolvaneCE maintainers <maintainers@folvanece.org>")
set(CPACK_PACKAGE_CONTACT "${folvane_maintainer}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SOURCE_GENERATOR "")
set(folvane_docs ${CMAKE_CURRENT_SOURCE_DIR}/docs)

if(FOLVANE_DEVICE_STANDIN OR CMAKE_SYSTEM_NAME STREQUAL "WindowsCE")
  # The unit's zip: one folder holding what is copied onto the unit, side by side.
  set(CPACK_GENERATOR ZIP)
  set(folvane_zip_text ${CMAKE_CURRENT_BINARY_DIR}/ReadMe.txt)
  # The text's lines that differ: a warning under its title, and the driver in its list.
  set(FOLVANE_ZIP_WARNING "")
  set(FOLVANE_ZIP_DRIVER "\r\n  FolvaneMap.dll   its mapping driver, for CE 6.0 and 7 units")
  if(FOLVANE_DEVICE_STANDIN)
    # The images are the stand-in build's custom commands (cmake/device_standin.cmake).
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/FolvaneCE.exe ${CMAKE_CURRENT_BINARY_DIR}/FolvaneMap.dll DESTINATION .)
    set(CPACK_PACKAGE_FILE_NAME FolvaneCE-${PROJECT_VERSION}-standin-not-for-units)
    set(FOLVANE_ZIP_WARNING "\r\n\r\nTHIS ZIP IS NOT FOR UNITS. It was built over the stand-in CE SDK, only to test\r\n\
the packaging: nothing in it may be copied onto a unit.")
  else()
    install(TARGETS FolvaneCE RUNTIME DESTINATION .)
    if(TARGET FolvaneMap)
      install(TARGETS FolvaneMap RUNTIME DESTINATION .)
      set(CPACK_PACKAGE_FILE_NAME FolvaneCE-${PROJECT_VERSION}-wince-x86)
    else()
      # A CE 5.0 SDK builds no driver: the zip says so in its name and its text.
      set(CPACK_PACKAGE_FILE_NAME FolvaneCE-${PROJECT_VERSION}-wince-x86-ce5-only)
      set(FOLVANE_ZIP_WARNING "\r\n\r\nThis zip holds no FolvaneMap.dll (built with a CE 5.0 SDK): it serves CE 5.0\r\n\
units alone. CE 6.0 and 7 units need the zip built with a CE 6.0 or 7 SDK.")
      set(FOLVANE_ZIP_DRIVER "")
    endif()
  endif()
  # The unit's text is read on Windows machines: CR LF line ends.
  configure_file(${folvane_docs}/ReadMe.txt.in ${folvane_zip_text} @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${folvane_zip_text} DESTINATION .)
  include(CPack)
  return()
endif()

# The checker's version, from the same place as the packages' names.
set_property(SOURCE src/host/check/check_command_line.cpp APPEND PROPERTY
             COMPILE_DEFINITIONS FOLVANE_VERSION="${PROJECT_VERSION}")

# The Debian package is made on a Debian machine alone (not by the Windows build).
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
  return()
endif()

include(GNUInstallDirs)
set(folvane_package folvanecheck)
install(TARGETS FolvaneCheck RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Its relocations resolved at start and then read-only, as Debian's hardening asks.
target_link_options(FolvaneCheck PRIVATE LINKER:-z,relro,-z,now)

# The package's texts, compressed as Debian policy asks (gzip -9n: no name, no time stamp), in
# a folder of their own: the manual page with the version filled in; the README for the people
# who use the tools; NEWS under its own name; and the changelog in Debian's format, made from
# NEWS (cmake/news_to_changelog.cmake). The copyright file stays as it is.
set(folvane_texts ${CMAKE_CURRENT_BINARY_DIR}/package-texts)
set(folvane_doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/${folvane_package})
file(MAKE_DIRECTORY ${folvane_texts})
set(folvane_man ${CMAKE_CURRENT_BINARY_DIR}/FolvaneCheck.1)
configure_file(${folvane_docs}/FolvaneCheck.1 ${folvane_man} @ONLY)
find_program(FOLVANE_GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${folvane_man}.gz
  COMMAND ${FOLVANE_GZIP} -9 -n -k -f ${folvane_man}
  DEPENDS ${folvane_man}
  COMMENT "Compressing the manual page FolvaneCheck.1" VERBATIM)
set(folvane_doc_files)
foreach(text README.md NEWS)
  add_custom_command(OUTPUT ${folvane_texts}/${text}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/${text} ${folvane_texts}/${text}
    COMMAND ${FOLVANE_GZIP} -9 -n -f ${folvane_texts}/${text}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${text}
    COMMENT "Compressing ${text} for the package" VERBATIM)
  list(APPEND folvane_doc_files ${folvane_texts}/${text}.gz)
endforeach()
add_custom_command(OUTPUT ${folvane_texts}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -DNEWS=${CMAKE_CURRENT_SOURCE_DIR}/NEWS -DPACKAGE=${folvane_package}
          -DVERSION=${PROJECT_VERSION} -DMAINTAINER=${folvane_maintainer}
          -DOUTPUT=${folvane_texts}/changelog -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/news_to_changelog.cmake
  COMMAND ${FOLVANE_GZIP} -9 -n -f ${folvane_texts}/changelog
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/NEWS ${CMAKE_CURRENT_SOURCE_DIR}/cmake/news_to_changelog.cmake
  COMMENT "Writing the package's changelog from NEWS" VERBATIM)
list(APPEND folvane_doc_files ${folvane_texts}/changelog.gz)
add_custom_target(folvane_package_texts ALL DEPENDS ${folvane_man}.gz ${folvane_doc_files})
install(FILES ${folvane_man}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${folvane_doc_files} ${folvane_docs}/copyright DESTINATION ${folvane_doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${folvane_package})
# CPack writes the synopsis (the summary) as the description's first line and the extended
# description under it, whose lines stay within 80 columns.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "checks FolvaneCE data files before they reach a unit")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "FolvaneCheck reads the data files that FolvaneCE W applies to x86 Windows
CE units exactly as W reads them, and reports every line that W ignores or
reads in a surprising way. With --against it compares a golden file with the
files that FolvaneCE R wrote on each unit of a fleet and shows what W would
change on each. It needs no unit.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # folvanecheck_VERSION_ARCH.deb
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# The 32-bit build (the x86 preset) on a 64-bit workstation is an i386 program.
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64)$")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE i386)
endif()
include(CPack)
