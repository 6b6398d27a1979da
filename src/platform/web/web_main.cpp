// Entry of the page: the save folder brought back from IndexedDB, then the
// game on the browser backend. main never returns to the browser while the
// game runs; its waits yield through Asyncify.
#include <cstdio>

#include "platform/web/web_host.h"
#include "shell/app.h"
#include "shell/texts.h"

extern "C" void qf_sync_in(const char* folder);

int main() {
  qf_sync_in(web::kSaveDir);
  web::WebHost host;
  if (!host.ClaimSaveFolder()) {
    host.ShowMessageBox(texts::kAlreadyRunning, nullptr);
    return 1;
  }
  plat::SetHost(&host);
  const int code = GameMain();
  ResetGameState();
  plat::SetHost(nullptr);
  std::printf("quillfen: the game ended (%d)\n", code);
  return code;
}
