// Start-up: the single-instance guard, the order of start-up, and errors that reach it.
#include <gtest/gtest.h>

#include <algorithm>

#include "BoardFixture.h"
#include "app/Startup.h"

namespace {

using namespace testing_support;

std::size_t IndexOf(const std::vector<std::string>& log, const std::string& entry) {
  return static_cast<std::size_t>(std::find(log.begin(), log.end(), entry) - log.begin());
}

class StartupTest : public BoardTest {};

TEST_F(StartupTest, ASecondCopyShowsTheStopBoxAndCreatesNothing) {
  SimBackend first;
  first.ExpectBox(ContentWarning());
  first.ExpectBox(SplitBox());
  first.run_limit_ms = 2000;
  int second_exit = -1;
  bool first_untouched = false;
  // The second copy starts while the first is in play, and shares its guards.
  sim.guards = first.guards;
  first.At(1000, [&] {
    sim.ExpectBox({text::kAlreadyRunning, text::kAlreadyRunningCaption, mb::kIconHand});
    second_exit = app::RunProgram(sim);
    first_untouched = first.guard_held && first.board_shown && first.topmost;
  });
  app::RunProgram(first);

  EXPECT_EQ(second_exit, 0);
  EXPECT_TRUE(sim.LogWith("title").empty());
  EXPECT_THROW(sim.Peer("Form1"), std::out_of_range);
  EXPECT_FALSE(sim.guard_held);
  EXPECT_TRUE(first_untouched);
}

TEST_F(StartupTest, AfterACopyHasEndedTheNextStartsNormally) {
  SimBackend first;
  first.guards = sim.guards;
  first.ExpectBox(ContentWarning());
  first.ExpectBox(SplitBox());
  first.ExpectBox(RetireQuestion(mb::kIdYes));
  first.ExpectBox(Tally("0 勝 1 敗です"));
  first.At(1000, [&] { first.CloseRequest(); });
  EXPECT_EQ(app::RunProgram(first), 0);
  EXPECT_FALSE(first.guard_held);

  sim.ExpectBox(ContentWarning());
  sim.run_limit_ms = 100;
  app::RunProgram(sim);
  EXPECT_TRUE(sim.board_shown);
}

TEST_F(StartupTest, StepsRunInOrder) {
  sim.ExpectBox(ContentWarning());
  sim.ExpectBox(SplitBox());
  sim.ExpectBox(RetireQuestion(mb::kIdYes));
  sim.ExpectBox(Tally("0 勝 1 敗です"));
  sim.At(600, [&] { sim.CloseRequest(); });
  app::RunProgram(sim);

  const auto& log = sim.log;
  const std::vector<std::string> order = {
      "guard acquire VT - mutex", "title QX-Nembrolix Vortrane",
      "box QX-Nembrolix Vortrane - Warning!: " + std::string(text::kContentWarning),
      "photograph 640x463", "topmost on", "board show", "quit", "guard release"};
  for (std::size_t i = 1; i < order.size(); ++i) {
    ASSERT_LT(IndexOf(log, order[i]), log.size()) << order[i] << " missing";
    EXPECT_LT(IndexOf(log, order[i - 1]), IndexOf(log, order[i])) << order[i - 1] << " before " << order[i];
  }
}

TEST_F(StartupTest, AnErrorReachingStartUpIsShownAndTheProgramEnds) {
  sim.failing_peer = "Panel5";
  sim.ExpectBox({"Cannot create window Panel5.", text::kApplicationTitle, mb::kIconHand});
  EXPECT_EQ(app::RunProgram(sim), 0);
  EXPECT_FALSE(sim.board_shown);
  EXPECT_TRUE(sim.LogWith("board show").empty());
}

}  // namespace
