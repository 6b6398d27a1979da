# The Windows program, cross-built: the core on the Win32 backend, the tools
# that need no libraries of other systems, the data directory made by a Linux
# build's tools, and a zip of it all.
enable_language(RC)

set(QF_DATA_FROM "${PROJECT_SOURCE_DIR}/build/default/data"
    CACHE PATH "The data directory a Linux build made, shipped beside quillfen.exe")

# The program's icon (resource 101), drawn here rather than kept as a binary.
find_program(QF_MAGICK convert REQUIRED)
set(QF_ICON ${PROJECT_BINARY_DIR}/quillfen.ico)
add_custom_command(
  OUTPUT ${QF_ICON}
  COMMAND ${QF_MAGICK} -size 32x32 "xc:#1b2a4a" -fill "#efe3bd"
          -draw "roundrectangle 7,3 24,28 3,3" -fill "#2b4f8a" -draw "rectangle 10,7 21,15"
          -fill "#8a2b2b" -draw "polygon 23,4 13,24 15,25 25,5" -define icon:auto-resize=32,16
          ${QF_ICON}
  COMMENT "Drawing the program icon"
  VERBATIM)
configure_file(${PROJECT_SOURCE_DIR}/src/platform/win32/quillfen.rc.in
               ${PROJECT_BINARY_DIR}/quillfen.rc @ONLY)
set_source_files_properties(${PROJECT_BINARY_DIR}/quillfen.rc PROPERTIES OBJECT_DEPENDS ${QF_ICON})

# The wave file code is the POSIX backends' own, shared: PlaySound gets its
# waves at the effects volume from it.
add_library(quillfen_win32 STATIC
  src/platform/win32/gdi_text.cpp
  src/platform/win32/win32_files.cpp
  src/platform/win32/win32_host.cpp
  src/platform/posix/wave_file.cpp)
target_link_libraries(quillfen_win32 PUBLIC quillfen_core winmm gdi32 imm32 user32)

add_executable(quillfen WIN32 src/platform/win32/win32_main.cpp ${PROJECT_BINARY_DIR}/quillfen.rc)
target_link_libraries(quillfen PRIVATE quillfen_core quillfen_win32 shell32)

add_subdirectory(tools/gplp)
add_subdirectory(tools/midigen)

# The data directory beside the program, as on Linux.
add_custom_target(demo_data ALL
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${QF_DATA_FROM} ${PROJECT_BINARY_DIR}/data
  COMMENT "Copying the data directory from ${QF_DATA_FROM}"
  VERBATIM)

install(TARGETS quillfen gplp midigen RUNTIME DESTINATION .)
# What a run from the Linux build folder wrote into the data stays behind.
install(DIRECTORY ${QF_DATA_FROM}/ DESTINATION data
        REGEX "/save/.+" EXCLUDE
        REGEX "/settings\\.txt$" EXCLUDE
        REGEX "/screenshots$" EXCLUDE
        REGEX "\\.tmp[0-9]+$" EXCLUDE)
install(FILES ${PROJECT_SOURCE_DIR}/src/platform/win32/README.txt DESTINATION .)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Quillfen)
set(CPACK_SYSTEM_NAME win64)
set(CPACK_PACKAGE_FILE_NAME Quillfen-${PROJECT_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)

# The unit tests for Windows, run under Wine by scripts/windows.sh: the
# headless backend built on the Windows files and GDI text, with GoogleTest
# built from Debian's sources by the cross compiler.
option(QF_WINDOWS_TESTS "Build quillfen_tests.exe" ON)
if(QF_WINDOWS_TESTS)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

  add_library(quillfen_headless STATIC
    src/platform/headless/headless.cpp
    src/platform/headless/png_writer.cpp
    src/platform/headless/headless_sound.cpp
    src/platform/posix/message_host.cpp
    src/platform/posix/periodic_timer.cpp
    src/platform/posix/audio_mix.cpp
    src/platform/posix/fs_routing.cpp
    src/platform/posix/glyphs.cpp
    src/platform/win32/headless_support.cpp)
  target_link_libraries(quillfen_headless PUBLIC quillfen_core quillfen_win32)

  file(GLOB_RECURSE win_test_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/*.cpp)
  # Left out, each for a reason of its own:
  # - reliability/: kills processes with SIGKILL and forks (POSIX only);
  # - tools/, data/dbc_test, content/battle_content_test:
  #   the content tools need libpng, FreeType and fontconfig, which Debian
  #   has for Linux only (the data they make is tested on Linux);
  # - platform/data_directory_test: symbolic links, permissions and the
  #   case-insensitive lookup of the POSIX data directory, and the per-user
  #   save folder of an installed Linux game (XDG folders, euid), which
  #   Windows has not;
  # - platform/headless_test: the POSIX timer thread, which the Windows
  #   program replaces with the multimedia timer;
  # - platform/sdl_host_test: the desktop backend of the other systems;
  # - battle/setup_test: reads screenshots back with libpng;
  # - graphics/png_test: decodes the PNG encoder's files with libpng and zlib;
  # - shell/screenshots_test: reads F11's PNG back with libpng;
  # - shell/manual_test: the manual against the code's tables, the same on
  #   every system.
  list(FILTER win_test_sources EXCLUDE REGEX
       "/tests/(reliability|tools)/|/core/seam_probe|/dbc_test|/battle_content_test|/data_directory_test|/headless_test|/sdl_host_test|/battle/setup_test|/graphics/png_test|/shell/screenshots_test|/shell/manual_test")
  add_executable(quillfen_tests ${win_test_sources})
  target_include_directories(quillfen_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests
                             ${PROJECT_SOURCE_DIR}/tools ${PROJECT_SOURCE_DIR}/tools/deck)
  # Wine sees the Linux file system as drive Z:.
  target_compile_definitions(quillfen_tests PRIVATE QF_DEMO_DATA_DIR="Z:${QF_DATA_FROM}")
  # GCC 12 at -O3 warns of overlapping copies inside std::string that cannot
  # happen (GCC bug 105329) where the tests build strings from literals.
  target_compile_options(quillfen_tests PRIVATE -Wno-restrict)
  add_subdirectory(tools/deck)
  # Only the deck files' library: the tool itself reads its lists with the
  # content tools' common code, which is Linux only.
  set_target_properties(qf-deck PROPERTIES EXCLUDE_FROM_ALL ON)
  target_link_libraries(quillfen_tests PRIVATE quillfen_core quillfen_headless quillfen_midigen
                        quillfen_deck gtest gtest_main)
endif()
