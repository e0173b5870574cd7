# Third-party libraries behind the platform seams. Only src/platform (and the
# Lua host in src/script) include their headers; the rest of the engine sees
# the seams alone. Everything here comes from scripts/bootstrap.
find_package(PkgConfig REQUIRED)

add_library(drovine_deps INTERFACE)

# Codecs and deflate: each ships a pkg-config file on Debian.
pkg_check_modules(DROVINE_CODECS REQUIRED IMPORTED_TARGET libpng libjpeg libtiff-4 zlib)
target_link_libraries(drovine_deps INTERFACE PkgConfig::DROVINE_CODECS)

# Text: FreeType renders glyphs, fontconfig finds the face files.
pkg_check_modules(DROVINE_TEXT REQUIRED IMPORTED_TARGET freetype2 fontconfig)
target_link_libraries(drovine_deps INTERFACE PkgConfig::DROVINE_TEXT)

# X11 for the clipboard selection and the screen; the selection is answered
# by the engine's one thread.
pkg_check_modules(DROVINE_X11 REQUIRED IMPORTED_TARGET x11)
find_package(Threads REQUIRED)
target_link_libraries(drovine_deps INTERFACE PkgConfig::DROVINE_X11 Threads::Threads)

# giflib has no pkg-config file on every distribution: find it directly.
find_path(GIF_INCLUDE_DIR gif_lib.h REQUIRED)
find_library(GIF_LIBRARY NAMES gif REQUIRED)
target_include_directories(drovine_deps SYSTEM INTERFACE ${GIF_INCLUDE_DIR})
target_link_libraries(drovine_deps INTERFACE ${GIF_LIBRARY})

# OpenCV core and imgproc for resampling and blurs. Debian's -dev packages of
# the two modules carry neither a pkg-config file nor the CMake package (both
# come with the full libopencv-dev), so look for the headers and libraries.
find_package(OpenCV QUIET COMPONENTS core imgproc)
if(OpenCV_FOUND)
  target_include_directories(drovine_deps SYSTEM INTERFACE ${OpenCV_INCLUDE_DIRS})
  target_link_libraries(drovine_deps INTERFACE opencv_core opencv_imgproc)
else()
  find_path(OPENCV_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4 REQUIRED)
  find_library(OPENCV_CORE_LIBRARY NAMES opencv_core REQUIRED)
  find_library(OPENCV_IMGPROC_LIBRARY NAMES opencv_imgproc REQUIRED)
  target_include_directories(drovine_deps SYSTEM INTERFACE ${OPENCV_INCLUDE_DIR})
  target_link_libraries(drovine_deps INTERFACE ${OPENCV_IMGPROC_LIBRARY} ${OPENCV_CORE_LIBRARY})
endif()

# Lua for filter scripts: the reference interpreter, or LuaJIT (whose FFI
# gives scripts direct access to the work buffers) when DROVINE_LUAJIT is on.
option(DROVINE_LUAJIT "Run filter scripts on LuaJIT" OFF)
if(DROVINE_LUAJIT)
  pkg_check_modules(DROVINE_LUA REQUIRED IMPORTED_TARGET luajit)
  target_compile_definitions(drovine_deps INTERFACE DROVINE_LUAJIT=1)
else()
  pkg_check_modules(DROVINE_LUA REQUIRED IMPORTED_TARGET lua5.1)
endif()
target_link_libraries(drovine_deps INTERFACE PkgConfig::DROVINE_LUA)

# Devices: evdev for tablets, SANE for scanners, libharu for PDF pages and
# Xlib for the screen size. libharu ships no pkg-config file: find it
# directly.
pkg_check_modules(DROVINE_DEVICES REQUIRED IMPORTED_TARGET libevdev sane-backends x11)
target_link_libraries(drovine_deps INTERFACE PkgConfig::DROVINE_DEVICES)
find_path(HPDF_INCLUDE_DIR hpdf.h REQUIRED)
find_library(HPDF_LIBRARY NAMES hpdf REQUIRED)
target_include_directories(drovine_deps SYSTEM INTERFACE ${HPDF_INCLUDE_DIR})
target_link_libraries(drovine_deps INTERFACE ${HPDF_LIBRARY})

# OpenCV's libraries export the linker's section marks (_edata, _end,
# __bss_start); linking against them makes GNU ld export ours as well. Keep
# the shared library's symbol table to the engine's own exports.
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang" AND NOT APPLE)
  set(DROVINE_SECTION_MARKS_MAP ${CMAKE_CURRENT_BINARY_DIR}/drovine-section-marks.map)
  file(WRITE ${DROVINE_SECTION_MARKS_MAP} "{ local: _edata; _end; __bss_start; };\n")
  target_link_options(drovine_deps INTERFACE
    "$<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,SHARED_LIBRARY>:LINKER:--version-script=${DROVINE_SECTION_MARKS_MAP}>")
endif()
