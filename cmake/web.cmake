# The page: the core on the browser backend, built with emscripten, with the
# data directory a Linux build made packed beside it and the IPA faces the
# machine has installed cut down to the game's characters as web fonts.
# Everything the page loads, and nothing else, is in page/: its size is the
# page's size.
set(QF_DATA_FROM "${PROJECT_SOURCE_DIR}/build/ci/data"
    CACHE PATH "The data directory a Linux build made, packed into quillfen.data")
set(QF_FONT_GOTHIC /usr/share/fonts/opentype/ipafont-gothic/ipag.ttf CACHE FILEPATH "")
set(QF_FONT_MINCHO /usr/share/fonts/opentype/ipafont-mincho/ipam.ttf CACHE FILEPATH "")
# The IPA Font License, which goes with the faces.
set(QF_FONT_LICENCE /usr/share/doc/fonts-ipafont-gothic/copyright CACHE FILEPATH "")

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
set(QF_WEB_AUDIO ${PROJECT_SOURCE_DIR}/src/platform/web/web_audio.js)
set(QF_WEB_SHELL ${PROJECT_SOURCE_DIR}/src/platform/web/shell.html)
add_executable(quillfen src/platform/web/web_main.cpp)
set(QF_PAGE_DIR ${PROJECT_BINARY_DIR}/page)
set_target_properties(quillfen PROPERTIES SUFFIX .html RUNTIME_OUTPUT_DIRECTORY ${QF_PAGE_DIR}
                      LINK_DEPENDS "${QF_WEB_GLUE};${QF_WEB_AUDIO};${QF_WEB_SHELL}")
target_link_libraries(quillfen PRIVATE quillfen_core quillfen_web)
target_compile_options(quillfen PRIVATE ${QF_WEB_WARNINGS})
target_link_options(quillfen PRIVATE
  -sASYNCIFY "-sASYNCIFY_IMPORTS=['qf_wait','qf_sync_in']"
  -sALLOW_MEMORY_GROWTH -sINITIAL_MEMORY=64MB -sASYNCIFY_STACK_SIZE=131072
  -sMINIFY_HTML=0 -lidbfs.js -Wl,--wrap=iconv_open
  # The pictures are raw 16-bit pixels: packed with LZ4 the data is half the
  # size, and the page unpacks only the parts of files it reads.
  -sLZ4
  "SHELL:--js-library ${QF_WEB_GLUE}" "SHELL:--js-library ${QF_WEB_AUDIO}"
  --shell-file ${QF_WEB_SHELL}
  "SHELL:--preload-file ${QF_DATA_FROM}@/data"
  "SHELL:--exclude-file ${QF_DATA_FROM}/save"
  "SHELL:--exclude-file ${QF_DATA_FROM}/screenshots")

# The faces hold the characters of every text under content/ and src/ and
# JIS X 0208's non-kanji (scripts/web_fonts.py says why).
file(GLOB_RECURSE QF_TEXT_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/content/*
     ${PROJECT_SOURCE_DIR}/src/*_texts.h)
set(QF_FACES ${QF_PAGE_DIR}/qf-gothic.woff2 ${QF_PAGE_DIR}/qf-mincho.woff2
    ${QF_PAGE_DIR}/faces.json ${QF_PAGE_DIR}/fonts-README.txt)
add_custom_command(OUTPUT ${QF_FACES}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QF_PAGE_DIR}
  COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/scripts/web_fonts.py ${QF_PAGE_DIR}
          ${QF_FONT_GOTHIC} ${QF_FONT_MINCHO} ${PROJECT_SOURCE_DIR}/content ${PROJECT_SOURCE_DIR}/src
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${QF_FONT_LICENCE} ${QF_PAGE_DIR}/fonts-copyright.txt
  DEPENDS ${PROJECT_SOURCE_DIR}/scripts/web_fonts.py ${QF_FONT_GOTHIC} ${QF_FONT_MINCHO}
          ${QF_TEXT_SOURCES}
  COMMENT "Cutting the IPA faces down to the game's characters"
  VERBATIM)
add_custom_target(web_fonts ALL DEPENDS ${QF_FACES})

# The music: js-synthesizer (npm, pinned in web/package-lock.json; scripts/web.sh
# installs it) and Debian's TimGM6mb SoundFont, the desktop's, each with its
# licence. The page fetches them when the first song starts.
set(QF_JSSYNTH ${PROJECT_SOURCE_DIR}/web/node_modules/js-synthesizer)
set(QF_SOUNDFONT /usr/share/sounds/sf2/TimGM6mb.sf2 CACHE FILEPATH "")
set(QF_SOUNDFONT_LICENCE /usr/share/doc/timgm6mb-soundfont/copyright CACHE FILEPATH "")
set(qf_music_files
  ${QF_JSSYNTH}/externals/libfluidsynth-2.4.6.js libfluidsynth.js
  ${QF_JSSYNTH}/externals/LICENSE.fluidsynth.txt fluidsynth-LICENSE.txt
  ${QF_JSSYNTH}/dist/js-synthesizer.min.js js-synthesizer.min.js
  ${QF_JSSYNTH}/dist/js-synthesizer.worklet.min.js js-synthesizer.worklet.min.js
  ${QF_JSSYNTH}/LICENSE js-synthesizer-LICENSE.txt
  ${QF_SOUNDFONT} TimGM6mb.sf2
  ${QF_SOUNDFONT_LICENCE} TimGM6mb-copyright.txt)
set(qf_music_outputs)
set(qf_music_commands)
while(qf_music_files)
  list(POP_FRONT qf_music_files from to)
  list(APPEND qf_music_outputs ${QF_PAGE_DIR}/${to})
  list(APPEND qf_music_inputs ${from})
  list(APPEND qf_music_commands COMMAND ${CMAKE_COMMAND} -E copy ${from} ${QF_PAGE_DIR}/${to})
endwhile()
add_custom_command(OUTPUT ${qf_music_outputs}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QF_PAGE_DIR}
  ${qf_music_commands}
  DEPENDS ${qf_music_inputs}
  COMMENT "Copying the synthesiser and the SoundFont beside the page"
  VERBATIM)
add_custom_target(web_music ALL DEPENDS ${qf_music_outputs})
