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

add_library(quillfen_win32 STATIC
  src/platform/win32/gdi_text.cpp
  src/platform/win32/win32_files.cpp
  src/platform/win32/win32_host.cpp)
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
install(DIRECTORY ${QF_DATA_FROM}/ DESTINATION data)
install(FILES ${PROJECT_SOURCE_DIR}/src/platform/win32/README.txt DESTINATION .)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Quillfen)
set(CPACK_SYSTEM_NAME win64)
set(CPACK_PACKAGE_FILE_NAME Quillfen-${PROJECT_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
