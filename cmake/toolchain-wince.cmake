# The device build: Windows CE on x86, with Visual Studio 2008 and a CE SDK for x86.
# Not tested on this project's machines, which have no CE SDK; CI only compiles the device
# sources with a 32-bit Windows cross compiler (scripts/device_compile_check.sh).
#
# On a Windows machine with Visual Studio 2008 and, for example, a CE 6.0 SDK named
# "MyDevice SDK (x86)" installed:
#
#   cmake -S . -B build/wince -G "Visual Studio 9 2008" -A "MyDevice SDK (x86)" ^
#         -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-wince.cmake
#   cmake --build build/wince --config Release
#
# The NMake generator works too, from the SDK's command prompt (environment set for the SDK):
#   cmake -S . -B build/wince -G "NMake Makefiles" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-wince.cmake
set(CMAKE_SYSTEM_NAME WindowsCE)
set(CMAKE_SYSTEM_VERSION 6.0 CACHE STRING "CE version of the SDK (5.0, 6.0, 7.0)")
set(CMAKE_SYSTEM_PROCESSOR x86)
# A console program whose entry is wmain.
set(CMAKE_EXE_LINKER_FLAGS_INIT "/ENTRY:mainWCRTStartup")
