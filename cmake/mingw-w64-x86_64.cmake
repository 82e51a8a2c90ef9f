# Cross-builds 64-bit Windows programs on Debian with MinGW-w64, the variant
# with POSIX threads that std::thread needs (g++-mingw-w64-x86-64-posix).
# The programs and tests run under Wine through scripts/wine-run.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORVALIS_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ORVALIS_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVALIS_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ORVALIS_MINGW_PREFIX}-windres)

# Libraries and headers of the target only; programs of the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${ORVALIS_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests and test discovery run the .exe files under Wine, each in a fresh
# prefix of its own, cloned from a pristine one kept in the build folder. Wine
# now and then fails to start a program, so a run that fails gets a second one
# (the same tests run without a second chance in the Linux builds).
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run --template ${CMAKE_BINARY_DIR}/wine-template
    --retry)
