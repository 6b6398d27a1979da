// Compiled, never linked, by the seam tests with the core's forced header:
// probe 0 is what core files do every day and must compile; every other
// probe is one way past the platform layer and must fail to compile.
#include <algorithm>
#include <string>
#include <vector>

#if SEAM_PROBE == 0
int Probe(std::vector<int>& v, const char* s) {
  v.erase(std::remove(v.begin(), v.end(), 3), v.end());  // the algorithm stays usable
  std::string t(s);
  return std::snprintf(nullptr, 0, "%s", t.c_str());
}
#elif SEAM_PROBE == 1
void Probe(FILE* log) { std::fprintf(log, "a message the host never sees\n"); }
#elif SEAM_PROBE == 2
void Probe(const char* s, FILE* log) { fputs(s, log); }
#elif SEAM_PROBE == 3
int Probe() { return std::remove("save1.dat"); }
#elif SEAM_PROBE == 4
long Probe() { return static_cast<long>(std::time(nullptr)); }
#elif SEAM_PROBE == 5
int Probe() { return std::rand(); }
#elif SEAM_PROBE == 6
void Probe() { std::exit(1); }
#elif SEAM_PROBE == 7
const char* Probe() { return std::getenv("HOME"); }
#elif SEAM_PROBE == 8
#include <chrono>
long Probe() { return std::chrono::steady_clock::now().time_since_epoch().count(); }
#elif SEAM_PROBE == 9
#include <fstream>
void Probe() { std::ofstream("save1.dat") << 1; }
#elif SEAM_PROBE == 10
FILE* Probe() { return stderr; }
#endif
