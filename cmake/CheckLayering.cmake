# Fails when a source file includes a folder above its own.
#
#   cmake -DSOURCE_DIR=<repository> -P cmake/CheckLayering.cmake
#
# The folders of src/ are layers, lowest first (docs/architecture.md draws
# them). A file may include its own folder and the folders below it; an
# export therefore lives beside the highest subsystem it calls. One kind of
# file sits outside the order: state headers (*_state.h), each subsystem's
# plain data. They form one layer just above base/: they include base/
# alone, and any folder above platform/ may include them. base/ and
# platform/ include no state header: the ground knows nothing of the engine. Third-party headers are included only by the seams (platform/)
# and by the script host (script/).
set(order base platform color composite brush history mask imaging script io engine)
set(third_party_pattern
    "^(opencv2/|png\\.h|jpeglib\\.h|jerror\\.h|tiffio?\\.h|gif_lib\\.h|zlib\\.h|lua|lauxlib|lualib|luajit|hpdf|sane/|libevdev/|linux/input|X11/|ft2build|freetype/|fontconfig/)")

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "CheckLayering: set SOURCE_DIR")
endif()

file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR}/src ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.cpp)
set(faults "")
foreach(file ${files})
  string(REGEX MATCH "^[^/]+" from ${file})
  get_filename_component(name ${file} NAME)
  list(FIND order ${from} from_rank)
  if(from_rank LESS 0)
    string(APPEND faults "\n  src/${file}: folder ${from}/ has no place in the layer order")
    continue()
  endif()
  set(is_state FALSE)
  if(name MATCHES "_state\\.h$")
    set(is_state TRUE)
  endif()

  file(STRINGS ${SOURCE_DIR}/src/${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
  foreach(line ${lines})
    if(line MATCHES "#[ \t]*include[ \t]*<([^>]+)>")
      set(header ${CMAKE_MATCH_1})
      if(header MATCHES "${third_party_pattern}" AND NOT from STREQUAL "platform"
         AND NOT from STREQUAL "script")
        string(APPEND faults "\n  src/${file}: third-party <${header}> outside platform/ and script/")
      endif()
      continue()
    endif()
    if(NOT line MATCHES "#[ \t]*include[ \t]*\"([^\"/]+)/([^\"]+)\"")
      continue()  # drovine.h and other non-folder includes
    endif()
    set(to ${CMAKE_MATCH_1})
    set(header ${CMAKE_MATCH_2})
    if(to STREQUAL from)
      continue()
    endif()
    list(FIND order ${to} to_rank)
    if(to_rank LESS 0)
      string(APPEND faults "\n  src/${file}: includes ${to}/${header}, a folder with no place in the layer order")
      continue()
    endif()
    if(is_state)
      if(NOT to STREQUAL "base")
        string(APPEND faults "\n  src/${file}: a state header includes ${to}/${header} (only base/ is allowed)")
      endif()
      continue()
    endif()
    if(header MATCHES "_state\\.h$" AND from_rank GREATER 1)
      continue()
    endif()
    if(to_rank GREATER from_rank)
      string(APPEND faults "\n  src/${file}: includes ${to}/${header}, a folder above ${from}/")
    endif()
  endforeach()
endforeach()

if(faults)
  message(FATAL_ERROR "Layering faults (order, lowest first: ${order}):${faults}")
endif()
