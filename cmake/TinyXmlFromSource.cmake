# Defines the STATIC library target `tinyxml`, compiled from a TinyXML 2.6.2 source tree.
#
# QX_TINYXML_SOURCE_DIR names the tree (the folder holding tinyxml.cpp). When it is empty,
# Debian's source package is unpacked at configure time into ${CMAKE_BINARY_DIR}/_tinyxml by
# scripts/fetch-tinyxml-source.sh (needs deb-src entries and dpkg-dev, see scripts/setup.sh),
# so that Debian's patches (among them the "&" escaping fix) are in.
#
# The library is built in STL mode (TIXML_USE_STL, public), so tinystr.cpp is not needed:
# it compiles to nothing unless TIXML_USE_STL is undefined.

if(TARGET tinyxml)
  return()
endif()

set(QX_TINYXML_SOURCE_DIR "" CACHE PATH
    "TinyXML 2.6.2 source tree (empty: unpack Debian's source package into the build tree)")

set(_qx_tinyxml_dir "${QX_TINYXML_SOURCE_DIR}")
if(_qx_tinyxml_dir STREQUAL "")
  set(_qx_fetch "${CMAKE_CURRENT_LIST_DIR}/../scripts/fetch-tinyxml-source.sh")
  message(STATUS "Unpacking Debian's tinyxml source into ${CMAKE_BINARY_DIR}/_tinyxml")
  execute_process(
    COMMAND bash "${_qx_fetch}" "${CMAKE_BINARY_DIR}/_tinyxml"
    OUTPUT_VARIABLE _qx_tinyxml_dir
    ERROR_VARIABLE _qx_fetch_log
    RESULT_VARIABLE _qx_fetch_rc
    OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT _qx_fetch_rc EQUAL 0)
    message(FATAL_ERROR "fetch-tinyxml-source.sh failed (${_qx_fetch_rc}):\n${_qx_fetch_log}\n"
                        "Run scripts/setup.sh, or set QX_TINYXML_SOURCE_DIR.")
  endif()
endif()

if(NOT EXISTS "${_qx_tinyxml_dir}/tinyxml.cpp")
  message(FATAL_ERROR "No tinyxml.cpp in '${_qx_tinyxml_dir}' (QX_TINYXML_SOURCE_DIR)")
endif()
message(STATUS "TinyXML source: ${_qx_tinyxml_dir}")

add_library(tinyxml STATIC
  "${_qx_tinyxml_dir}/tinyxml.cpp"
  "${_qx_tinyxml_dir}/tinyxmlerror.cpp"
  "${_qx_tinyxml_dir}/tinyxmlparser.cpp")
target_compile_definitions(tinyxml PUBLIC TIXML_USE_STL)
# SYSTEM: the header's own warnings must not trip the project's warning flags.
target_include_directories(tinyxml SYSTEM PUBLIC "${_qx_tinyxml_dir}")
set_target_properties(tinyxml PROPERTIES POSITION_INDEPENDENT_CODE ON)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  # Third-party code: no warnings; and no hardening that pulls in extra runtime DLLs
  # (-fstack-protector* needs libssp-0.dll with MinGW), even if CXXFLAGS carries it.
  target_compile_options(tinyxml PRIVATE -w -fno-stack-protector -U_FORTIFY_SOURCE)
endif()

unset(_qx_tinyxml_dir)
unset(_qx_fetch)
unset(_qx_fetch_log)
unset(_qx_fetch_rc)
