// The Click bars: three answers per desktop, the desktop hidden before its third answer, the
// bracket on every press, and the desktops moving on beneath an answer.
#include <gtest/gtest.h>

#include "BoardFixture.h"

namespace {

using namespace testing_support;

class ClickBarsTest : public BoardTest {};

TEST_F(ClickBarsTest, ThreeHitsAnswerThenHideTheDesktop) {
  struct Desktop {
    const char* label;
    const char* container;
  };
  const Desktop desktops[] = {{"Label1", "Panel1"}, {"Label2", "Panel3"}, {"Label3", "Panel5"}, {"Label4", "Panel7"}};
  StartPlay();
  for (int k = 0; k < 4; ++k) {
    SCOPED_TRACE(desktops[k].label);
    for (int hit = 0; hit < 3; ++hit) {
      sim.log.clear();
      sim.ExpectBox(Answer(k, hit));
      ASSERT_TRUE(sim.Press(desktops[k].label, k % 2 ? platform::MouseButton::Right : platform::MouseButton::Left));
      std::vector<std::string> expected = {"press " + std::string(desktops[k].label), "topmost off"};
      if (hit == 2) expected.push_back("hide " + std::string(desktops[k].container));
      expected.push_back("box VT: " + std::string(text::kHitAnswers[k][hit]));
      expected.push_back("box closed");
      expected.push_back("topmost on");
      EXPECT_EQ(sim.log, expected);
      EXPECT_EQ(Form().Hits(k), hit < 2 ? hit + 1 : 4);
    }
    EXPECT_FALSE(sim.PeerShown(desktops[k].container));
    EXPECT_FALSE(sim.Press(desktops[k].label)) << "a cleared desktop takes no more hits";
  }
}

TEST_F(ClickBarsTest, NoLabelCanBeHitBeforeTheSplit) {
  StartBoard();
  sim.RunUntil(200);
  for (const char* label : {"Label1", "Label2", "Label3", "Label4"}) EXPECT_FALSE(sim.Press(label)) << label;
  for (const char* label : {"Label5", "Label6", "Label7"}) EXPECT_FALSE(sim.Click(label)) << label;
}

TEST_F(ClickBarsTest, DesktopsMoveOnBeneathAnAnswerAndTheHitOneGetsWilder) {
  StartPlay();
  sim.RunUntil(kFirstPlayTick);
  // B's first hit: its pull grows from 8 to 16 per tick while the answer is open.
  const auto a_moves_before = sim.LogWith("bounds Panel1").size();
  sim.ExpectBox({text::kHitAnswers[1][0], text::kGameCaption, mb::kIconInformation, mb::kIdOk, 200});
  ASSERT_TRUE(sim.Press("Label2"));
  EXPECT_EQ(sim.LogWith("bounds Panel1").size(), a_moves_before + 8);  // four ticks, two bounds each
  const auto dy = board::FallDY;
  sim.RunUntil(sim.Now() + 50);
  EXPECT_EQ(board::FallDY - dy, 16);
}

}  // namespace
