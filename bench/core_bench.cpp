// The core's cost on the simulated platform: one play tick, and a whole won game.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "app/Startup.h"
#include "board/Form1.h"
#include "board/Texts.h"
#include "forms/Application.h"
#include "platform/sim/SimBackend.h"

// Every allocation in the process is counted, so a benchmark can report allocations per
// iteration.
namespace {
std::atomic<std::size_t> allocations{0};
}
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

using platform::sim::ExpectedBox;
using platform::sim::SimBackend;
namespace text = board::text;
namespace mb = platform::mb;

// The board in play on a 1920 x 1080 screen; each iteration is one 50 ms tick.
void BM_PlayTick(benchmark::State& state) {
  SimBackend sim;
  sim.screen_width = 1920;
  sim.screen_height = 1080;
  sim.ExpectBox({text::kContentWarning, text::kWarningCaption, mb::kIconExclamation});
  sim.ExpectBox({text::kSplitDone, text::kGameCaption, mb::kOk});
  board::InitializeModule();
  forms::TApplication application(sim);
  application.CreateForm(board::Form1);
  board::Form1->Show();
  sim.RunUntil(450);
  sim.logging = false;
  std::uint64_t now = sim.Now();
  sim.RunUntil(now += 50 * 100);  // warm up
  const auto before = allocations.load();
  for (auto _ : state) sim.RunUntil(now += 50);
  state.counters["allocations_per_tick"] =
      benchmark::Counter(static_cast<double>(allocations.load() - before), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_PlayTick);

// A whole game from start-up to the saved record: intro, split, twelve hits, ending, closing.
void BM_WholeWonGame(benchmark::State& state) {
  for (auto _ : state) {
    SimBackend sim;
    sim.logging = false;
    sim.screen_width = 1920;
    sim.screen_height = 1080;
    sim.ExpectBox({text::kContentWarning, text::kWarningCaption, mb::kIconExclamation});
    sim.ExpectBox({text::kSplitDone, text::kGameCaption, mb::kOk});
    std::uint64_t time = 600;
    for (int desktop = 0; desktop < 4; ++desktop) {
      for (int hit = 0; hit < 3; ++hit) {
        sim.ExpectBox({text::kHitAnswers[desktop][hit], text::kGameCaption, mb::kIconInformation});
        const std::string label = "Label" + std::to_string(desktop + 1);
        sim.At(time += 100, [&sim, label] { sim.Press(label); });
      }
    }
    sim.ExpectBox({text::kEndingWarning, text::kEndingWarningCaption, mb::kIconHand});
    sim.ExpectBox({"1 勝 0 敗です", text::kGameCaption, mb::kOk});
    app::RunProgram(sim);
    if (sim.PendingExpectedBoxes() != 0) state.SkipWithError("the game did not run to its end");
  }
}
BENCHMARK(BM_WholeWonGame)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
