# Cross-build for 64-bit Windows with MinGW-w64 (posix thread model compilers).
# Test executables run under wine through cmake/wine-run.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(_qx_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_qx_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_qx_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_qx_triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${_qx_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
get_filename_component(_qx_cmake_dir "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${_qx_cmake_dir}/wine-run.sh")
