# The device image on this machine, which has no CE SDK: clang++ compiling as Visual C++ 2005
# (MSC 14.00) for 32-bit x86, over the stand-in SDK in sdk/wince-x86 and nothing else (the
# standard and the compiler's own headers are off). CMakeLists.txt links the image with the
# mingw-w64 linker against the stand-in's coredll.dll, as a CE console program.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET i686-pc-windows-msvc)
get_filename_component(standin_include "${CMAKE_CURRENT_LIST_DIR}/../sdk/wince-x86/include" ABSOLUTE)
set(CMAKE_CXX_FLAGS_INIT "-fms-compatibility -fms-compatibility-version=14.00 -std=c++98 -fno-exceptions -fno-rtti \
-Os -nostdinc -I${standin_include}")
# There is no MSVC linker here: CMake's compiler checks stop at a static library, which the
# mingw-w64 archiver makes of clang's objects.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_AR i686-w64-mingw32-ar)
set(FOLVANE_DEVICE_STANDIN ON)
