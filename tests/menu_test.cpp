// The menu labels and background double-clicks: version, help and its hidden slow-down, the
// highlight, and the complaints.
#include <gtest/gtest.h>

#include "BoardFixture.h"

namespace {

using namespace testing_support;

class MenuTest : public BoardTest {
 protected:
  void DoubleClicks(int count) {
    for (int i = 0; i < count; ++i) ASSERT_TRUE(sim.DoubleClickBoard());
  }
  std::vector<std::uint32_t> Colors() const {
    return {sim.Peer("Label5").color, sim.Peer("Label6").color, sim.Peer("Label7").color};
  }
};

TEST_F(MenuTest, VersionShowsTheVersionTextInsideTheBracket) {
  StartPlay();
  sim.log.clear();
  sim.ExpectBox({std::string(" QX-Nembrolix Vortrane\n\nVersion 2.05 ") + text::kMakersNotice, text::kVersionCaption, mb::kOk});
  ASSERT_TRUE(sim.Click("Label6"));
  EXPECT_EQ(sim.log[1], "topmost off");
  EXPECT_EQ(sim.log.back(), "topmost on");
}

TEST_F(MenuTest, HelpSlowsTheGameOnlyAfterExactlyThreeDoubleClicksAndOnce) {
  struct Case {
    int double_clicks;
    std::uint32_t interval;
  };
  for (const Case c : {Case{0, 50}, Case{2, 50}, Case{3, 500}, Case{4, 50}}) {
    SCOPED_TRACE(c.double_clicks);
    SimBackend run;
    FailOnUnexpectedBoxes(run);
    const auto application = PlayToSplitOn(run);
    for (int i = 0; i < c.double_clicks; ++i) run.DoubleClickBoard();
    run.ExpectBox({text::kHelp, text::kGameCaption, mb::kOk});
    ASSERT_TRUE(run.Click("Label7"));
    EXPECT_EQ(board::Form1->Timer1->Interval(), c.interval);
    run.ExpectBox({text::kHelp, text::kGameCaption, mb::kOk});
    ASSERT_TRUE(run.Click("Label7"));
    EXPECT_EQ(board::Form1->Timer1->Interval(), c.interval) << "a second help click changes nothing";
    EXPECT_EQ(run.PendingExpectedBoxes(), 0u);
  }
}

TEST_F(MenuTest, AfterTheSlowDownTheDesktopsMoveEveryHalfSecond) {
  StartPlay();
  DoubleClicks(3);
  sim.ExpectBox({text::kHelp, text::kGameCaption, mb::kOk});
  ASSERT_TRUE(sim.Click("Label7"));
  const auto moves = sim.LogWith("bounds Panel3").size();
  sim.RunUntil(sim.Now() + 1000);
  EXPECT_EQ(sim.LogWith("bounds Panel3").size(), moves + 4);  // two ticks, two bounds each
}

TEST_F(MenuTest, ComplaintsFollowTheCountBeforeEachDoubleClick) {
  StartPlay();
  std::vector<std::string> shown_at;
  for (int click = 1; click <= 52; ++click) {
    for (const auto& complaint : text::kComplaints)
      if (complaint.count == click - 1) sim.ExpectBox({complaint.text, text::kGameCaption, mb::kOk});
    const auto boxes = sim.Boxes().size();
    sim.log.clear();
    ASSERT_TRUE(sim.DoubleClickBoard());
    if (sim.Boxes().size() > boxes) shown_at.push_back(std::to_string(click) + ": " + sim.Boxes().back().text);
    // The bracket is applied whether or not a complaint is shown.
    EXPECT_EQ(sim.log[1], "topmost off");
    EXPECT_EQ(sim.log.back(), "topmost on");
  }
  EXPECT_EQ(shown_at, (std::vector<std::string>{"6: 「無」の領域を叩かないでください。", "11: 痛いですから叩かないでください。",
                                                "16: やめてください。", "21: イタッ！", "26: お願いだからやめて！",
                                                "31: キレるぞ！", "36: ゴヒャ！", "41: ...", "51: ..."}));
  EXPECT_EQ(Form().TapCount(), 52);
}

TEST_F(MenuTest, AfterTheSlowDownEveryComplaintComesOneDoubleClickEarlier) {
  StartPlay();
  DoubleClicks(3);
  sim.ExpectBox({text::kHelp, text::kGameCaption, mb::kOk});
  ASSERT_TRUE(sim.Click("Label7"));
  DoubleClicks(1);  // the fourth double-click, count 4 before the fifth
  sim.ExpectBox({text::kComplaints[0].text, text::kGameCaption, mb::kOk});
  DoubleClicks(1);  // the fifth double-click already complains
}

TEST_F(MenuTest, LabelsLightUpUnderTheMouse) {
  constexpr std::uint32_t grey = forms::clGray, lime = forms::clLime;
  StartPlay();
  EXPECT_EQ(Colors(), (std::vector<std::uint32_t>{grey, grey, grey}));
  struct Step {
    const char* over;  // nullptr: the board's background
    std::vector<std::uint32_t> colors;
  };
  const Step steps[] = {
      {"Label5", {lime, grey, grey}}, {"Label6", {grey, lime, grey}}, {"Label7", {grey, grey, lime}},
      {"Panel3", {grey, grey, lime}},  // a panel leaves the highlight as it was
      {"Image2", {grey, grey, lime}},  {nullptr, {grey, grey, grey}}, {"Label6", {grey, lime, grey}},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.over ? step.over : "background");
    ASSERT_TRUE(sim.MouseMoveOver(step.over ? step.over : "Form1"));
    EXPECT_EQ(Colors(), step.colors);
    EXPECT_EQ(sim.Peer("Label5").font.color, forms::clRed);
  }
}

}  // namespace
