// Included by the build before every file of the portable core (never by
// hand): the core reaches files, clocks, randomness, the environment and the
// program's end only through the platform layer, and this makes a slip a
// compile error rather than something a review has to notice. The backends
// and the tools are built without it.
//
// The standard headers the core may use come first, so their own
// declarations are read before the names below become traps; a later
// #include of them is then empty. A header outside that list included after
// this one is read with the traps in place and fails to compile, which is
// what it should do. Each trap expands to a name that says what happened.
#pragma once

// Core files check that the build forced this header in front of them.
#define QF_CORE_GUARDED 1

// NOLINTBEGIN: this file exists to shadow the C library's names with macros.
#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cassert>
#include <cctype>
#include <climits>
#include <cmath>
#include <compare>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <memory>
#include <new>
#include <numeric>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

// Files and the console: every read and write goes through plat::Host.
#define fopen(...) core_uses_the_platform_layer_for_fopen
#define freopen(...) core_uses_the_platform_layer_for_freopen
#define fclose(...) core_uses_the_platform_layer_for_fclose
#define fread(...) core_uses_the_platform_layer_for_fread
#define fwrite(...) core_uses_the_platform_layer_for_fwrite
#define fflush(...) core_uses_the_platform_layer_for_fflush
#define fseek(...) core_uses_the_platform_layer_for_fseek
#define ftell(...) core_uses_the_platform_layer_for_ftell
#define rewind(...) core_uses_the_platform_layer_for_rewind
#define fgets(...) core_uses_the_platform_layer_for_fgets
#define fgetc(...) core_uses_the_platform_layer_for_fgetc
#define getc(...) core_uses_the_platform_layer_for_getc
#define getchar(...) core_uses_the_platform_layer_for_getchar
#define fputs(...) core_uses_the_platform_layer_for_fputs
#define fputc(...) core_uses_the_platform_layer_for_fputc
#define putc(...) core_uses_the_platform_layer_for_putc
#define putchar(...) core_uses_the_platform_layer_for_putchar
#define puts(...) core_uses_the_platform_layer_for_puts
#define printf(...) core_uses_the_platform_layer_for_printf
#define fprintf(...) core_uses_the_platform_layer_for_fprintf
#define vprintf(...) core_uses_the_platform_layer_for_vprintf
#define vfprintf(...) core_uses_the_platform_layer_for_vfprintf
#define scanf(...) core_uses_the_platform_layer_for_scanf
#define fscanf(...) core_uses_the_platform_layer_for_fscanf
#define perror(...) core_uses_the_platform_layer_for_perror
// One argument removes a file; three or four are the algorithm, which stays.
#define QF_REMOVE_BY_ARITY(a1, a2, a3, a4, name, ...) name
#define remove(...)                                                                        \
  QF_REMOVE_BY_ARITY(__VA_ARGS__, remove, remove, core_uses_the_platform_layer_for_remove, \
                     core_uses_the_platform_layer_for_remove, )                            \
  (__VA_ARGS__)
#define rename(...) core_uses_the_platform_layer_for_rename
#define tmpfile(...) core_uses_the_platform_layer_for_tmpfile
#define tmpnam(...) core_uses_the_platform_layer_for_tmpnam
// Names, not calls: any use of them after this point fails as poisoned.
#undef stdin
#undef stdout
#undef stderr
#pragma GCC poison stdin stdout stderr cin cout cerr clog ifstream ofstream fstream filesystem

// Time: the game's clock is the host's (virtual under the headless host).
#define time(...) core_uses_the_platform_layer_for_time
#define clock(...) core_uses_the_platform_layer_for_clock
#define difftime(...) core_uses_the_platform_layer_for_difftime
#define mktime(...) core_uses_the_platform_layer_for_mktime
#define localtime(...) core_uses_the_platform_layer_for_localtime
#define gmtime(...) core_uses_the_platform_layer_for_gmtime
#define ctime(...) core_uses_the_platform_layer_for_ctime
#define asctime(...) core_uses_the_platform_layer_for_asctime
#define strftime(...) core_uses_the_platform_layer_for_strftime
#define timespec_get(...) core_uses_the_platform_layer_for_timespec_get
#pragma GCC poison chrono this_thread jthread

// Randomness: one generator, seeded by the game, so runs can be replayed.
#define rand(...) core_uses_core_random_for_rand
#define srand(...) core_uses_core_random_for_srand
#pragma GCC poison random_device mt19937

// The environment and the program's end: a quit travels back up as a false
// result so progress is written; the host alone decides how the process ends.
#define exit(...) core_returns_false_instead_of_exit
#define _Exit(...) core_returns_false_instead_of__Exit
#define quick_exit(...) core_returns_false_instead_of_quick_exit
#define abort(...) core_returns_false_instead_of_abort
#define atexit(...) core_returns_false_instead_of_atexit
#define system(...) core_uses_the_platform_layer_for_system
#define getenv(...) core_uses_the_platform_layer_for_getenv
#define setenv(...) core_uses_the_platform_layer_for_setenv
#define putenv(...) core_uses_the_platform_layer_for_putenv
// NOLINTEND
