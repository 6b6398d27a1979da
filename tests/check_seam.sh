#!/bin/sh
# Fails when a core file reaches past the platform seam: a header outside the
# standard ones below, a backend's header, or the C runtime's files, clock,
# environment or random numbers called directly. The build runs it on the
# core's file list before compiling the core.
[ $# -gt 0 ] || { echo "usage: check_seam.sh CORE_FILE..." >&2; exit 2; }

# What the core may include from the standard library: containers, strings,
# numbers and memory; no streams, files, clocks, threads or randomness.
allowed='algorithm|array|atomic|bit|cassert|cctype|climits|cmath|compare|concepts|cstddef|cstdint|cstdio|cstring|emmintrin\.h|functional|initializer_list|iterator|limits|memory|new|numeric|optional|span|string|string_view|tuple|type_traits|utility|vector'
# The PNG writer (stb, a header of Debian's) is the one library header: it
# makes the file in memory only, built without its stdio part.
allowed="$allowed|stb_image_write\\.h"
calls='\b(fopen|fread|fwrite|printf|puts|rand|srand|time|getenv|system|exit|abort)[[:space:]]*\(|std::(chrono|thread|filesystem|cout|cerr)'

status=0
for f in "$@"; do
  bad=$(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<' "$f" |
        grep -vE "<($allowed)>")
  [ -n "$bad" ] && { echo "$f: a header the core may not use:"; echo "$bad"; status=1; }
  bad=$(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]*\.\.|platform/[^"]*/)' "$f")
  [ -n "$bad" ] && { echo "$f: reaches a backend or leaves its root:"; echo "$bad"; status=1; }
  bad=$(grep -nE "$calls" "$f")
  [ -n "$bad" ] && { echo "$f: reaches the system directly:"; echo "$bad"; status=1; }
done
[ $status -eq 0 ] && echo "core seam: $# files, every include allowed"
exit $status
