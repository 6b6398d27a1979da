# The page: the core on the browser backend, built with emscripten, with the
# data directory a Linux build made packed beside it and the IPA faces the
# machine has installed copied next to it as web fonts.
set(QF_DATA_FROM "${PROJECT_SOURCE_DIR}/build/ci/data"
    CACHE PATH "The data directory a Linux build made, packed into quillfen.data")
set(QF_FONT_GOTHIC /usr/share/fonts/opentype/ipafont-gothic/ipag.ttf CACHE FILEPATH "")
set(QF_FONT_MINCHO /usr/share/fonts/opentype/ipafont-mincho/ipam.ttf CACHE FILEPATH "")

# Clang's -Wconversion also warns of signedness, GCC's not (as in the fuzz
# build), and size_t is 32 bits in the browser: where a 64-bit file size
# becomes a length it was bounded before. The page is held to the warnings
# the desktop build is.
set(QF_WEB_WARNINGS -Wno-sign-conversion -Wno-shorten-64-to-32)
target_compile_options(quillfen_core PRIVATE ${QF_WEB_WARNINGS})

# The POSIX backends' files, message queue and glyph placing serve the page
# as they are; emscripten's file system stands under them.
add_library(quillfen_web STATIC
  src/platform/posix/host_files.cpp
  src/platform/posix/fs_routing.cpp
  src/platform/posix/glyphs.cpp
  src/platform/posix/message_host.cpp
  src/platform/web/web_host.cpp
  src/platform/web/web_fonts.cpp
  src/platform/web/web_iconv.cpp)
target_link_libraries(quillfen_web PUBLIC quillfen_core)
target_compile_options(quillfen_web PRIVATE ${QF_WEB_WARNINGS})

set(QF_WEB_GLUE ${PROJECT_SOURCE_DIR}/src/platform/web/web_glue.js)
set(QF_WEB_SHELL ${PROJECT_SOURCE_DIR}/src/platform/web/shell.html)
add_executable(quillfen src/platform/web/web_main.cpp)
set_target_properties(quillfen PROPERTIES SUFFIX .html
                      LINK_DEPENDS "${QF_WEB_GLUE};${QF_WEB_SHELL}")
target_link_libraries(quillfen PRIVATE quillfen_core quillfen_web)
target_compile_options(quillfen PRIVATE ${QF_WEB_WARNINGS})
target_link_options(quillfen PRIVATE
  -sASYNCIFY "-sASYNCIFY_IMPORTS=['qf_wait','qf_sync_in','qf_play_wave']"
  -sALLOW_MEMORY_GROWTH -sINITIAL_MEMORY=64MB -sASYNCIFY_STACK_SIZE=131072
  -sMINIFY_HTML=0 -lidbfs.js -Wl,--wrap=iconv_open
  --js-library ${QF_WEB_GLUE} --shell-file ${QF_WEB_SHELL}
  "SHELL:--preload-file ${QF_DATA_FROM}@/data"
  "SHELL:--exclude-file ${QF_DATA_FROM}/save"
  "SHELL:--exclude-file ${QF_DATA_FROM}/screenshots")

add_custom_target(web_fonts ALL
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${QF_FONT_GOTHIC} ${PROJECT_BINARY_DIR}/ipag.ttf
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${QF_FONT_MINCHO} ${PROJECT_BINARY_DIR}/ipam.ttf
  COMMENT "Copying the IPA faces beside the page"
  VERBATIM)
