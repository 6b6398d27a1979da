#include "support/script_fixture.h"

#include "core/waits.h"
#include "graphics/image.h"
#include "graphics/textwindow.h"
#include "platform/posix/host_files.h"
#include "script/interpreter.h"
#include "script/variables.h"

void ScriptTest::SetUp() {
  GameTest::SetUp();
  MakeHost();
  // What start-up makes that text lines and pictures need.
  plat::host().OpenWindow("test", WindowProc);
  CreateGlobalImages();
  SetupMessageWindows();
  host->SetInputHook(
      [](const headless::InputEvent&, void* self) {
        if (auto& look = static_cast<ScriptTest*>(self)->beforeInput) look();
      },
      this);
}

uint16_t ScriptTest::Shown(int x, int y) {
  plat::host().UpdateNow();
  return host->FramePixel(x, y);
}

std::string ScriptTest::Lines(int window, int last) {
  std::string out;
  for (int i = 1; i <= last; ++i) out += (i > 1 ? "|" : "") + LineText(window, i);
  return out;
}

void ScriptTest::Config(const std::string& text) {
  WriteData("config.scn", text);
  ReadConfig();
}

int ScriptTest::Run(const std::string& start) {
  WriteData("start.scn", start);
  if (!OpenScenario("start")) return -1;
  return ResumeScript();
}

std::string ScriptTest::LineText(int window, int i) {
  LineRecord r{};
  return msgwin.window[window].GetLine(i, r) ? std::string(r.text) : "<none>";
}

void ScriptTest::Input(const std::string& script) {
  host->SetInput(InputEvents(script));
  for (int i = 0; i < 400 && !host->InputDone(); ++i) {
    plat::Message m;
    if (!plat::host().Get(m)) break;
    plat::host().Dispatch(m);
  }
}

uint64_t ScriptTest::Now() { return plat::host().Millis(); }

int32_t ScriptTest::Int(const std::string& name) {
  const IntVariable* v = FindIntVariable(name.c_str());
  EXPECT_NE(v, nullptr) << name;
  return v ? v->value : 0;
}

std::string ScriptTest::Str(const std::string& name) {
  const StrVariable* v = FindStrVariable(name.c_str());
  EXPECT_NE(v, nullptr) << name;
  return v ? std::string(v->value) : std::string();
}

std::vector<std::string> ScriptTest::BoxCaptions() const {
  std::vector<std::string> out;
  for (const auto& b : host->boxes) out.push_back(posix::SjisToUtf8(b.caption));
  return out;
}
