# Cross-compiles for Windows with Debian's MinGW-w64; included by the per-target toolchain
# files, which set PAGEWREN_MINGW_TRIPLE and the processor.
set(CMAKE_SYSTEM_NAME Windows)

# The plain <triple>-g++ points at either threading variant depending on
# update-alternatives, so name one explicitly.
set(CMAKE_C_COMPILER ${PAGEWREN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PAGEWREN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PAGEWREN_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PAGEWREN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
