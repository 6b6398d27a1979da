#include "platform/platform.h"

namespace plat {
namespace {
Host* g_host = nullptr;
}

Host& host() { return *g_host; }
void SetHost(Host* h) { g_host = h; }
bool HasHost() { return g_host != nullptr; }

}  // namespace plat
