# The test driver and its caller, for the tests of the test machine's device manager (included
# by the `coredll` preset): a CE stream driver DLL (prefix TST) and a console program that loads
# it, both in C++03 over the stand-in SDK's headers and bound to coredll.dll through the same
# import library as the device image, with nothing else linked. tests/device/device_e2e.sh runs them
# under wine. Never part of the product.
set(driver_tests ${folvane_root}/tests/driver)
find_program(FOLVANE_MINGW32_DLLTOOL i686-w64-mingw32-dlltool REQUIRED)
set(driver_import ${CMAKE_CURRENT_BINARY_DIR}/libcoredll_sdk.a)
folvane_write_import_def(${standin}/coredll.def ${CMAKE_CURRENT_BINARY_DIR}/coredll_imports.def)
add_custom_command(OUTPUT ${driver_import}
  COMMAND ${FOLVANE_MINGW32_DLLTOOL} -m i386 -d ${CMAKE_CURRENT_BINARY_DIR}/coredll_imports.def -l ${driver_import}
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/coredll_imports.def
  COMMENT "Import library of the stand-in's coredll.dll, by ordinal, for the test driver" VERBATIM)

set(driver_flags -std=c++98 -pedantic-errors -Wall -Wextra -Werror -O1 -fno-exceptions -fno-rtti
    -fno-asynchronous-unwind-tables -nostdinc -I${standin}/include -I${folvane_root}/src/device/include -nostdlib)
set(driver_dll ${CMAKE_CURRENT_BINARY_DIR}/folvane_test_driver.dll)
set(driver_caller ${CMAKE_CURRENT_BINARY_DIR}/driver_caller.exe)
add_custom_command(OUTPUT ${driver_dll}
  COMMAND ${CMAKE_CXX_COMPILER} ${driver_flags} -shared -Wl,-e,_DllMain -o ${driver_dll}
          ${driver_tests}/test_driver.cpp ${driver_tests}/test_driver.def ${driver_import} -lgcc
  DEPENDS ${driver_tests}/test_driver.cpp ${driver_tests}/test_driver.def ${driver_tests}/ce_driver_api.h
          ${driver_import}
  COMMENT "The test driver folvane_test_driver.dll" VERBATIM)
add_custom_command(OUTPUT ${driver_caller}
  COMMAND ${CMAKE_CXX_COMPILER} ${driver_flags} -Wl,-e,_mainWCRTStartup -o ${driver_caller}
          ${driver_tests}/driver_caller.cpp ${standin}/startup.cpp ${standin}/command_splitter.cpp
          ${driver_import} -lgcc
  DEPENDS ${driver_tests}/driver_caller.cpp ${driver_tests}/ce_driver_api.h ${driver_tests}/say.h ${standin}/startup.cpp
          ${standin}/command_splitter.cpp ${driver_import}
  COMMENT "The test driver's caller driver_caller.exe" VERBATIM)
# The same driver stripped of its relocation information, which CE 7 refuses to load into the
# kernel and CE 6 loads there unfixed.
find_program(FOLVANE_MINGW32_OBJCOPY i686-w64-mingw32-objcopy REQUIRED)
set(driver_dll_norelocs ${CMAKE_CURRENT_BINARY_DIR}/folvane_test_driver_norelocs.dll)
add_custom_command(OUTPUT ${driver_dll_norelocs}
  COMMAND ${FOLVANE_MINGW32_OBJCOPY} -R .reloc ${driver_dll} ${driver_dll_norelocs}
  DEPENDS ${driver_dll}
  COMMENT "The test driver without relocations folvane_test_driver_norelocs.dll" VERBATIM)
add_custom_target(test_driver ALL DEPENDS ${driver_dll} ${driver_dll_norelocs} ${driver_caller})

# The mapping driver's probe: loads build/device/FolvaneMap.dll (copied beside it by
# tests/device/device_e2e.sh) and sends it the program's two mappings and every request it refuses.
set(map_probe ${CMAKE_CURRENT_BINARY_DIR}/map_driver_probe.exe)
add_custom_command(OUTPUT ${map_probe}
  COMMAND ${CMAKE_CXX_COMPILER} ${driver_flags} -I${folvane_root}/src/device/driver -Wl,-e,_mainWCRTStartup -o ${map_probe}
          ${driver_tests}/map_driver_probe.cpp ${folvane_root}/src/device/driver/map_request.cpp ${standin}/startup.cpp
          ${standin}/command_splitter.cpp ${driver_import} -lgcc
  DEPENDS ${driver_tests}/map_driver_probe.cpp ${driver_tests}/say.h ${folvane_root}/src/device/driver/map_request.cpp
          ${folvane_root}/src/device/driver/map_request.h ${standin}/startup.cpp ${standin}/command_splitter.cpp
          ${driver_import}
  COMMENT "The mapping driver's probe map_driver_probe.exe" VERBATIM)
add_custom_target(map_driver_probe ALL DEPENDS ${map_probe})
