# Cross build for 64-bit Windows with Debian's MinGW-w64 (POSIX threads, so
# std::thread works). QVL_WINDOWS_PREFIX names the folder the Windows builds
# of the libraries were installed into (scripts/windows-deps.sh makes it).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QVL_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QVL_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QVL_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${QVL_MINGW}-windres)

if(NOT QVL_WINDOWS_PREFIX AND DEFINED ENV{QVL_WINDOWS_PREFIX})
  set(QVL_WINDOWS_PREFIX "$ENV{QVL_WINDOWS_PREFIX}")
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${QVL_MINGW} ${QVL_WINDOWS_PREFIX})
set(CMAKE_PREFIX_PATH ${QVL_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config reads the Windows libraries' .pc files only.
if(QVL_WINDOWS_PREFIX)
  set(ENV{PKG_CONFIG_LIBDIR} "${QVL_WINDOWS_PREFIX}/lib/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
endif()

# No MinGW runtime DLL to ship: libgcc and libstdc++ go into each binary.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
