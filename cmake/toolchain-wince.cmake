# The device build with a real CE SDK: Windows CE on x86, with Visual C++ 2005 or 2008 and a CE
# SDK for x86 (CE 5.0, 6.0 or 7.0), on a Windows machine. This project's machines have no SDK
# and do not run it; there the `device` preset builds the same sources over the stand-in SDK
# (cmake/toolchain-wince-standin.cmake, scripts/device_build.sh).
#
# Visual Studio 2008 with the SDK installed, named as Visual Studio lists it among its
# platforms; the generator needs CMake 3.29 or older:
#
#   cmake -S . -B build\wince -G "Visual Studio 9 2008" -A "MyDevice SDK (x86)" ^
#         -DCMAKE_TOOLCHAIN_FILE=cmake\toolchain-wince.cmake -DCMAKE_SYSTEM_VERSION=6.0
#   cmake --build build\wince --config MinSizeRel
#
# NMake Makefiles, with any CMake and Visual Studio 2005 or 2008, from a command prompt whose
# PATH finds the CE x86 cl.exe and link.exe first, INCLUDE names the SDK's x86 include folder
# and LIB its x86 library folder:
#
#   cmake -S . -B build\wince -G "NMake Makefiles" -DCMAKE_TOOLCHAIN_FILE=cmake\toolchain-wince.cmake ^
#         -DCMAKE_SYSTEM_VERSION=6.0 -DCMAKE_BUILD_TYPE=MinSizeRel
#   cmake --build build\wince
#
# Either way the result is FolvaneCE.exe, and with a CE 6.0 or 7 SDK also FolvaneMap.dll, the
# mapping driver that the program loads on those generations (a CE 5.0 SDK lacks the kernel
# functions it calls; the program built with any of the three runs on all of them).
#
# The zip for the units, FolvaneCE-VERSION-wince-x86.zip (both files and ReadMe.txt on copying
# them onto a unit; cmake/packaging.cmake), is made by CPack in the build folder afterwards:
#
#   cd build\wince && cpack -C MinSizeRel
set(CMAKE_SYSTEM_NAME WindowsCE)
set(CMAKE_SYSTEM_VERSION 6.0 CACHE STRING "CE version of the SDK (5.0, 6.0, 7.0)")
set(CMAKE_SYSTEM_PROCESSOR x86)
# A console program entered at wmain through the runtime's wide start-up (corelibc.lib's
# mainWCRTStartup: argv[0] from GetModuleFileNameW, the arguments from the command line, which
# holds them alone), linked against coredll and the CE runtime library alone; coredll.lib binds
# every function by ordinal. Subsystem version 5.00: CE 6.0 and 7 load it too (their loader
# refuses only a major version above their own), so one image serves CE 5.0, 6.0 and 7.
#
# CMake's WindowsCE platform defines UNDER_CE, WINCE, _X86_ and X86; under UNDER_CE the SDK's
# windef.h makes WINAPI __cdecl, which coredll.lib's undecorated names need. CMakeLists.txt
# defines _CRT_SECURE_NO_DEPRECATE and _CRT_SECURE_NO_WARNINGS for the device targets, as the
# SDK headers deprecate _wfopen and _snwprintf (C4996 under /W4 /WX). Not verified here, for
# lack of the compiler: which other warnings Visual C++ 2005/2008 give at /W4.
#
# Which CE runs the program today: CE 5.0 in a fully trusted process. CE 6.0 and 7 refuse a
# user-mode VirtualCopy of physical memory: there it stops with "VirtualCopy failed", status 1.
set(CMAKE_EXE_LINKER_FLAGS_INIT "/SUBSYSTEM:WINDOWSCE,5.00 /MACHINE:X86 /ENTRY:mainWCRTStartup /NODEFAULTLIB")
# The driver: a DLL entered at the runtime's DLL start-up, subsystem 6.00 since it serves CE 6.0
# and 7 alone; its exports come from src/device/driver/FolvaneMap.def. It keeps its relocations
# (/FIXED:NO): CE 7 refuses a kernel DLL without them, CE 6 loads it at another base unfixed.
set(CMAKE_SHARED_LINKER_FLAGS_INIT
    "/SUBSYSTEM:WINDOWSCE,6.00 /MACHINE:X86 /ENTRY:_DllMainCRTStartup /NODEFAULTLIB /FIXED:NO")
set(CMAKE_CXX_STANDARD_LIBRARIES "coredll.lib corelibc.lib" CACHE STRING "Libraries of every device link")
