// Closing and scoring: the retire question, the tally and streak boxes, the save, the bracket,
// and a save that fails.
#include <gtest/gtest.h>

#include "BoardFixture.h"

namespace {

using namespace testing_support;

class ClosingTest : public BoardTest {
 protected:
  std::optional<std::int32_t> Stored(const char* name) const { return sim.registry.Dword(score::kKeyPath, name); }
};

TEST_F(ClosingTest, RetiringReportsTheTallyAndStreakAndSavesTheRecord) {
  struct Case {
    const char* name;
    std::optional<Record> before;
    std::vector<std::string> boxes;
    std::vector<std::int32_t> stored;
  };
  const Case cases[] = {
      {"first game", std::nullopt, {"0 勝 1 敗です"}, {0, 1, 0, 1, 1}},
      {"second loss in a row", Record{0, 1, 0, 1}, {"0 勝 2 敗です", "2 連敗中です"}, {0, 2, 0, 2, 2}},
      {"loss after a win streak", Record{5, 2, 3, 0}, {"5 勝 3 敗です"}, {5, 3, 0, 1, 8}},
      {"negative counts", Record{-3, 0, 0, 0}, {"-3 勝 1 敗です"}, {-3, 1, 0, 1, -2}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimBackend run;
    if (c.before) SeedRecord(run, *c.before);
    FailOnUnexpectedBoxes(run);
    {
      auto application = PlayToSplitOn(run);
      run.ExpectBox(RetireQuestion(mb::kIdYes));
      for (const auto& box : c.boxes) run.ExpectBox(Tally(box));
      ASSERT_TRUE(run.Click("Label5"));
      EXPECT_EQ(run.title, text::kRetiredTitle);
      EXPECT_FALSE(run.board_shown);
    }
    EXPECT_EQ(run.PendingExpectedBoxes(), 0u);
    EXPECT_EQ(StoredRecord(run), c.stored);
  }
}

TEST_F(ClosingTest, AnsweringNoKeepsTheGameGoingOnTopWithNothingSaved) {
  StartPlay();
  // The desktops keep moving beneath the question: two ticks of B while it is open.
  sim.ExpectBox({text::kRetireQuestion, text::kRetireCaption, mb::kYesNo | mb::kIconQuestion, mb::kIdNo, 100});
  sim.log.clear();
  ASSERT_TRUE(sim.Click("Label5"));
  EXPECT_EQ(sim.log.front(), "click Label5");
  EXPECT_EQ(sim.log[1], "topmost off");
  EXPECT_EQ(sim.log.back(), "topmost on");
  EXPECT_EQ(sim.LogWith("bounds Panel3").size(), 4u);
  EXPECT_TRUE(sim.topmost);
  EXPECT_TRUE(sim.board_shown);
  EXPECT_FALSE(sim.registry.HasKey(score::kKeyPath));
  EXPECT_EQ(sim.registry.commits, 0);
  EXPECT_EQ(Form().Losses(), 0);
  EXPECT_EQ(sim.title, text::kApplicationTitle);
  sim.RunUntil(sim.Now() + 500);
  EXPECT_EQ(sim.LogWith("bounds Panel3").size(), 24u);  // ten more ticks of B
}

TEST_F(ClosingTest, TheWindowManagersCloseAndTheEndOfTheSessionAskTheSameQuestion) {
  StartPlay();
  sim.ExpectBox(RetireQuestion(mb::kIdNo));
  ASSERT_TRUE(sim.CloseRequest());
  EXPECT_TRUE(sim.board_shown);
  sim.ExpectBox(RetireQuestion(mb::kIdNo));
  EXPECT_FALSE(sim.EndSession());
  sim.ExpectBox(RetireQuestion(mb::kIdYes));
  sim.ExpectBox(Tally("0 勝 1 敗です"));
  EXPECT_TRUE(sim.EndSession());
  EXPECT_EQ(StoredRecord(sim), (std::vector<std::int32_t>{0, 1, 0, 1, 1}));
}

TEST_F(ClosingTest, AGrantedCloseLeavesTheTopmostBandForGood) {
  StartPlay();
  sim.ExpectBox(RetireQuestion(mb::kIdYes));
  sim.ExpectBox(Tally("0 勝 1 敗です"));
  sim.log.clear();
  ASSERT_TRUE(sim.Click("Label5"));
  std::vector<std::string> bracket;
  for (const auto& entry : sim.log)
    if (entry.rfind("topmost", 0) == 0 || entry.rfind("box VT", 0) == 0) bracket.push_back(entry);
  EXPECT_EQ(bracket, (std::vector<std::string>{"topmost off", "topmost on", "topmost off", "box VT: 0 勝 1 敗です"}));
  EXPECT_FALSE(sim.topmost);
}

TEST_F(ClosingTest, AFailedSaveIsReportedAndTheProgramStillEnds) {
  SeedRecord(sim, {2, 2, 0, 0});
  sim.registry.failing_value = "Rensho";
  StartPlay();
  sim.ExpectBox(RetireQuestion(mb::kIdYes));
  sim.ExpectBox(Tally("2 勝 3 敗です"));
  sim.ExpectBox({"Registry value 'Rensho' could not be written.", text::kRetiredTitle, mb::kIconHand});
  ASSERT_TRUE(sim.Click("Label5"));
  EXPECT_FALSE(sim.board_shown);
  EXPECT_EQ(sim.LogWith("quit").size(), 1u);
  // A further close request counts nothing again.
  sim.CloseRequest();
  EXPECT_EQ(Form().Losses(), 3);
  EXPECT_EQ(Stored("Make"), 3);
}

TEST_F(ClosingTest, AKeyThatCannotBeCreatedSkipsTheSaveSilently) {
  sim.registry.refused_keys.insert("software\\telquarin\\qx-nembrolix\\vortrane");
  StartPlay();
  sim.ExpectBox(RetireQuestion(mb::kIdYes));
  sim.ExpectBox(Tally("0 勝 1 敗です"));
  ASSERT_TRUE(sim.Click("Label5"));
  EXPECT_FALSE(sim.board_shown);
  EXPECT_FALSE(sim.registry.HasKey(score::kKeyPath));
}

TEST_F(ClosingTest, AfterADamagedRecordOnlyRetiringIsLeftAndItRewritesAllFiveValues) {
  SeedRecord(sim, {3, 5, 0, 2});
  sim.registry.SetString(score::kKeyPath, "Make", "5");
  sim.ExpectBox({"Registry value 'Make' is missing or not a whole number.", text::kApplicationTitle, mb::kIconHand});
  CreateBoard();
  Form().Show();
  sim.RunUntil(5000);
  EXPECT_EQ(board::IntroStep, 0);  // no timer
  sim.ExpectBox(RetireQuestion(mb::kIdYes));
  sim.ExpectBox(Tally("3 勝 1 敗です"));
  ASSERT_TRUE(sim.CloseRequest());
  EXPECT_EQ(StoredRecord(sim), (std::vector<std::int32_t>{3, 1, 0, 1, 4}));
}

}  // namespace
