# Settings shared by the Windows cross-builds.

# The test program, the stand-in qx_plugins.dll and the plug-ins in one folder: the loader
# finds a DLL beside the program that loads it.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/bin")
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/bin")

if(NOT CMAKE_DLLTOOL)
  message(FATAL_ERROR "CMAKE_DLLTOOL is not set (use a toolchain file from cmake/toolchains)")
endif()

# nlohmann-json is header-only, so the build machine's copy serves any target. Its folder
# (/usr/include on Debian) must not become an include folder of a cross-build, so a folder
# in the build tree holds a link to just that library's headers.
find_path(QX_NLOHMANN_JSON_INCLUDE_DIR nlohmann/json.hpp NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(_qx_json_dir "${CMAKE_BINARY_DIR}/_nlohmann_json")
file(MAKE_DIRECTORY "${_qx_json_dir}")
file(CREATE_LINK "${QX_NLOHMANN_JSON_INCLUDE_DIR}/nlohmann" "${_qx_json_dir}/nlohmann" SYMBOLIC)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES "${_qx_json_dir}")
unset(_qx_json_dir)

# Tests run under wine with a prefix of their own in the build tree.
set(QX_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
if(CMAKE_CROSSCOMPILING_EMULATOR)
  list(GET CMAKE_CROSSCOMPILING_EMULATOR 0 _qx_emulator)
  if(_qx_emulator MATCHES "wine-run\\.sh$")
    set(CMAKE_CROSSCOMPILING_EMULATOR
        "${CMAKE_COMMAND};-E;env;QX_WINEPREFIX=${QX_WINEPREFIX};${_qx_emulator}")
  endif()
  unset(_qx_emulator)
endif()
