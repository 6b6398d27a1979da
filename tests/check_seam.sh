#!/bin/sh
# Fails when the core reaches past the platform seam: system headers, the C
# runtime's files, clock or random numbers, or a backend's libraries.
top=${1:-.}
cd "$top" || exit 2
core="src/shell src/graphics src/script src/data src/battle src/screens src/sound src/streams src/platform/platform.h src/platform/platform.cpp src/platform/sjis.h src/platform/sjis.cpp"
pattern='#include *<(windows\.h|SDL|ft2build|freetype|fontconfig|fluidsynth|unistd\.h|sys/|dirent\.h|fcntl\.h|iconv\.h|chrono|thread|random|fstream|ctime|time\.h)|\b(fopen|fread|fwrite|printf|puts|rand|srand|time|getenv|std::chrono|std::thread)\s*\('
hits=$(grep -rnE "$pattern" $core --include='*.h' --include='*.cpp' | grep -v 'src/shell/main.cpp')
if [ -n "$hits" ]; then
  echo "The core reaches the system directly:"
  echo "$hits"
  exit 1
fi
echo "1 passed, 0 failed"
