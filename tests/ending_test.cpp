// The ending: its steps in order, the slide and its stop rule, and a retirement inside it.
#include <gtest/gtest.h>

#include <algorithm>

#include "BoardFixture.h"

namespace {

using namespace testing_support;

class EndingTest : public BoardTest {
 protected:
  // Plays to the ending on a screen of the given size; the ending runs on the next tick.
  void PlayToEnding(int width, int height) {
    sim.screen_width = width;
    sim.screen_height = height;
    StartPlay();
    ClearAll();
    sim.log.clear();
  }
  void ExpectWonClose() {
    sim.ExpectBox(EndingWarning());
    sim.ExpectBox(Tally("1 勝 0 敗です"));
  }
};

TEST_F(EndingTest, StepsRunInOrderAndTheGameClosesAsWon) {
  PlayToEnding(1024, 768);
  ExpectWonClose();
  sim.RunUntil(sim.Now() + 50);

  // Every step up to the slide, then the slide's passes left out (their positions are
  // checked below), then the rest up to the closing warning.
  const auto slide = std::find(sim.log.begin(), sim.log.end(), "sleep 80") + 1;
  std::vector<std::string> steps(sim.log.begin(), slide);
  for (auto entry = slide; entry != sim.log.end() && steps.back() != "box closed"; ++entry)
    if (entry->rfind("bounds Panel1", 0) != 0 && *entry != "process messages" && *entry != "sleep 70")
      steps.push_back(*entry);
  const std::vector<std::string> expected = {
      "timer 0 50 off",  "board hide",  "taskbar hide",  "sleep 10000",         "title Nembrolix SS",
      "taskbar show",    "board show",  "hide Label1",   "hide Label5",         "hide Label6",
      "hide Label7",     "bounds Panel1 0,336,128,96",   "bounds Panel1 0,0,128,96",
      "show Panel1",     "process messages",             "sleep 80",            "board hide",
      "box 良い子の皆様へ: 危険ですから、まねしないようにしてください。", "box closed"};
  EXPECT_EQ(steps, expected);
  EXPECT_TRUE(Form().Cleared());
  EXPECT_EQ(Form().Wins(), 1);
  EXPECT_TRUE(Form().Closed());
  // The closing warning is shown without the bracket, and no retire question follows.
  EXPECT_EQ(sim.LogWith("topmost on").size(), 0u);
  EXPECT_EQ(std::count(sim.log.begin(), sim.log.end(), "sleep 70"), 16);
}

TEST_F(EndingTest, SlidePassesFollowTheScreenHeight) {
  struct Case {
    int width, height, passes, dx, dy;
  };
  const Case cases[] = {{1024, 768, 16, 64, 48}, {800, 600, 17, 50, 37},   {640, 480, 16, 40, 30},
                        {320, 240, 16, 20, 15},  {1920, 1080, 17, 120, 67}, {1280, 1024, 16, 80, 64}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    SimBackend run;
    run.screen_width = c.width;
    run.screen_height = c.height;
    FailOnUnexpectedBoxes(run);
    {
      auto application = PlayToSplitOn(run);
      for (const int desktop : {0, 1, 2, 3})
        for (int hit = 0; hit < 3; ++hit) {
          run.ExpectBox(Answer(desktop, hit));
          ASSERT_TRUE(run.Press("Label" + std::to_string(desktop + 1)));
        }
      run.log.clear();
      run.ExpectBox(EndingWarning());
      run.ExpectBox(Tally("1 勝 0 敗です"));
      run.RunUntil(run.Now() + 50);
    }
    EXPECT_EQ(std::count(run.log.begin(), run.log.end(), "sleep 70"), c.passes);
    std::vector<std::string> lefts;
    for (const auto& entry : run.LogWith("bounds Panel1 ")) lefts.push_back(entry);
    // The last two entries are the last pass: top first, then left.
    const auto last_top = c.dy * c.passes;
    const auto last_left = c.dx * c.passes;
    const auto width = std::to_string(c.width / 8);
    const auto height = std::to_string(c.height / 8);
    ASSERT_GE(lefts.size(), 2u);
    EXPECT_EQ(lefts[lefts.size() - 2], "bounds Panel1 " + std::to_string(last_left - c.dx) + "," +
                                           std::to_string(last_top) + "," + width + "," + height);
    EXPECT_EQ(lefts.back(), "bounds Panel1 " + std::to_string(last_left) + "," + std::to_string(last_top) + "," +
                                width + "," + height);
    EXPECT_EQ(run.PendingExpectedBoxes(), 0u);
  }
}

TEST_F(EndingTest, NoMessagesAreHandledDuringTheTenSecondPause) {
  PlayToEnding(640, 480);
  const auto start = sim.Now();
  // A close request arrives five seconds into the pause: it waits until the board is back
  // and lets pending messages through, and there it meets an uncleared game.
  sim.At(start + 50 + 5000, [&] { sim.CloseRequest(); });
  sim.ExpectBox(RetireQuestion(mb::kIdNo));
  ExpectWonClose();
  sim.RunUntil(start + 50);
  const auto& log = sim.log;
  const auto request = std::find(log.begin(), log.end(), "close request");
  ASSERT_NE(request, log.end());
  EXPECT_LT(std::find(log.begin(), log.end(), "board show"), request);
  EXPECT_EQ(*(request - 1), "process messages");
  EXPECT_EQ(Form().Wins(), 1);
  EXPECT_EQ(Form().Losses(), 0);
}

TEST_F(EndingTest, RetiringDuringTheSlideScoresTheGameOnce) {
  PlayToEnding(640, 480);
  const auto start = sim.Now();
  sim.At(start + 50 + 10000 + 200, [&] { sim.CloseRequest(); });
  sim.ExpectBox(RetireQuestion(mb::kIdYes));
  sim.ExpectBox(Tally("0 勝 1 敗です"));
  sim.ExpectBox(EndingWarning());
  sim.RunUntil(start + 50);

  EXPECT_EQ(Form().Wins(), 0);
  EXPECT_EQ(Form().Losses(), 1);
  EXPECT_EQ(sim.registry.Dword(score::kKeyPath, "Kachi"), 0);
  EXPECT_EQ(sim.registry.Dword(score::kKeyPath, "Make"), 1);
  EXPECT_EQ(sim.registry.Dword(score::kKeyPath, "Renpai"), 1);
  EXPECT_EQ(sim.registry.Dword(score::kKeyPath, "Chimidoro"), 1);
  EXPECT_EQ(sim.registry.commits, 1);
  EXPECT_EQ(sim.title, text::kRetiredTitle);
  EXPECT_EQ(sim.LogWith("quit").size(), 1u);
}

}  // namespace
