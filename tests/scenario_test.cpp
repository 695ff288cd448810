// Whole games on the simulated platform, from start-up to the saved record, box by box.
#include <gtest/gtest.h>

#include "BoardFixture.h"
#include "app/Startup.h"

namespace {

using namespace testing_support;

class ScenarioTest : public BoardTest {
 protected:
  // Schedules three hits on each desktop in the given order, starting at time_ms, and expects
  // their answers.
  void HitAll(std::uint64_t time_ms, std::initializer_list<int> order, SimBackend& run) {
    for (const int desktop : order) {
      for (int hit = 0; hit < 3; ++hit) {
        run.ExpectBox(Answer(desktop, hit));
        const std::string label = "Label" + std::to_string(desktop + 1);
        run.At(time_ms, [&run, label] { EXPECT_TRUE(run.Press(label)) << label; });
        time_ms += 170;
      }
    }
  }
};

TEST_F(ScenarioTest, TheTypicalGame) {
  SeedRecord(sim, {3, 5, 0, 1});
  sim.ExpectBox(ContentWarning());
  sim.ExpectBox(SplitBox());
  HitAll(1000, {3, 0, 1, 2}, sim);
  sim.ExpectBox(EndingWarning());
  sim.ExpectBox(Tally("4 勝 5 敗です"));
  EXPECT_EQ(app::RunProgram(sim), 0);

  const std::vector<std::string> boxes = {
      text::kContentWarning, text::kSplitDone, "やだよ～ん", "まだまだ", "３度目の正直",
      "１回ぐらいじゃくたばりませんよ", "ほほぅ、なかなかやりますね", "うぎゃ！",
      "かすっただけですね", "２回やるとは、ちょこざいな", "わぁ、止められた",
      "まぐれまぐれ･･･", "惜しい、あと少し！", "おめでとう",
      text::kEndingWarning, "4 勝 5 敗です"};
  EXPECT_EQ(BoxTexts(), boxes);
  EXPECT_EQ(StoredRecord(sim), (std::vector<std::int32_t>{4, 5, 1, 0, 9}));
  EXPECT_EQ(sim.LogWith("title"), (std::vector<std::string>{"title QX-Nembrolix Vortrane", "title Nembrolix SS"}));
  EXPECT_FALSE(sim.guard_held);
  EXPECT_FALSE(sim.loop_gave_up);
  EXPECT_FALSE(sim.board_shown);
}

TEST_F(ScenarioTest, StreaksAcrossWins) {
  struct Case {
    const char* name;
    Record before;
    std::vector<std::string> closing;
    std::vector<std::int32_t> stored;
  };
  const Case cases[] = {
      {"win after two losses", {0, 2, 0, 2}, {"1 勝 2 敗です"}, {1, 2, 1, 0, 3}},
      {"third win in a row", {3, 0, 2, 0}, {"4 勝 0 敗です", "3 連勝中です"}, {4, 0, 3, 0, 4}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimBackend run;
    FailOnUnexpectedBoxes(run);
    SeedRecord(run, c.before);
    run.ExpectBox(ContentWarning());
    run.ExpectBox(SplitBox());
    HitAll(700, {0, 1, 2, 3}, run);
    run.ExpectBox(EndingWarning());
    for (const auto& box : c.closing) run.ExpectBox(Tally(box));
    app::RunProgram(run);
    EXPECT_EQ(run.PendingExpectedBoxes(), 0u);
    EXPECT_EQ(StoredRecord(run), c.stored);
  }
}

TEST_F(ScenarioTest, TwoRetiredGamesInARow) {
  SimBackend first;
  FailOnUnexpectedBoxes(first);
  first.ExpectBox(ContentWarning());
  first.ExpectBox(SplitBox());
  first.ExpectBox(RetireQuestion(mb::kIdYes));
  first.ExpectBox(Tally("0 勝 1 敗です"));
  first.At(2000, [&] { first.Click("Label5"); });
  app::RunProgram(first);
  EXPECT_EQ(StoredRecord(first), (std::vector<std::int32_t>{0, 1, 0, 1, 1}));

  sim.registry = first.registry;
  sim.ExpectBox(ContentWarning());
  sim.ExpectBox(SplitBox());
  sim.ExpectBox(RetireQuestion(mb::kIdYes));
  sim.ExpectBox(Tally("0 勝 2 敗です"));
  sim.ExpectBox(Tally("2 連敗中です"));
  sim.At(3000, [&] { sim.CloseRequest(); });
  app::RunProgram(sim);
  EXPECT_EQ(StoredRecord(sim), (std::vector<std::int32_t>{0, 2, 0, 2, 2}));
}

TEST_F(ScenarioTest, TheTenthGameRunsAtDoubleSpeed) {
  SeedRecord(sim, {4, 5, 0, 1});
  sim.arguments = {"vortrane", "-Tovik", "80"};
  sim.ExpectBox({text::kDoubleSpeed, text::kDoubleSpeedCaption, mb::kIconInformation});
  sim.ExpectBox(SplitBox());
  HitAll(1000, {2, 1, 0, 3}, sim);
  sim.ExpectBox(EndingWarning());
  sim.ExpectBox(Tally("5 勝 5 敗です"));
  app::RunProgram(sim);
  // Forty-millisecond ticks: the split came on the ninth.
  EXPECT_EQ(sim.Boxes()[1].time_ms, 9u * 40);
  EXPECT_EQ(StoredRecord(sim), (std::vector<std::int32_t>{5, 5, 1, 0, 10}));
}

}  // namespace
