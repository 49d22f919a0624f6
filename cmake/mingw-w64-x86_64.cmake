# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the POSIX
# thread model, so that std::thread and std::mutex work). Everything is
# linked statically: the programs need no MinGW DLLs beside them.
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTARVIDON_ENGINE_ONLY=ON
# or, with the window program, against Qt for Windows:
#   ... -DTARVIDON_QT_WINDOWS=$(scripts/build-qt-windows) -DQT_HOST_PATH=/usr -DTARVIDON_BENCH=OFF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TARVIDON_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TARVIDON_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARVIDON_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TARVIDON_MINGW_TRIPLET}-windres)

# Qt for Windows, where scripts/build-qt-windows installed it, is searched
# like the MinGW-w64 libraries; the host's Qt tools come from QT_HOST_PATH.
set(CMAKE_FIND_ROOT_PATH /usr/${TARVIDON_MINGW_TRIPLET} ${TARVIDON_QT_WINDOWS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
