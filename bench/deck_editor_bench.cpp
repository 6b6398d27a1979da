// The deck editor's drag step: the card follows the mouse over the page.
#include <benchmark/benchmark.h>

#include "measure.h"

#include "graphics/image.h"
#include "platform/headless/headless.h"
#include "screens/deck_editor.h"

namespace {

using bench::PaintProc;

// One mouse movement with a card picked up: the last rectangle erased from
// BackPage, the card drawn at the new place, both invalidated. With
// state.range(0) the window is also painted, as the message loop does next.
void BM_DeckEditorDragStep(benchmark::State& state) {
  headless::Options o;
  o.echo = false;
  headless::HeadlessHost host(o);
  plat::SetHost(&host);
  host.OpenWindow("bench", PaintProc);
  CreateGlobalImages();
  bench::FillPage(gfx.WorkPage, false);
  bench::FillPage(gfx.BackPage, false);
  ResetDeckEditor();
  deckEditor.dragSource = 1;
  const bool paint = state.range(0) != 0;
  int step = 0;
  bench::Measure(state, 640 * 480 * 2, [&] {
    // A sweep across the page, a few pixels a step as a hand moves.
    step = (step + 1) % 150;
    deckEditorMove(40 + step * 4, 80 + step * 2);
    if (paint) host.UpdateNow();
  });
  ResetDeckEditor();
  DestroyGlobalImages();
  plat::SetHost(nullptr);
}
BENCHMARK(BM_DeckEditorDragStep)->Arg(0)->Arg(1);

}  // namespace
