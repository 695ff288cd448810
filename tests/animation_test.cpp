// The animation tick: seeding, the intro, the split and the four ways of moving.
#include <gtest/gtest.h>

#include <algorithm>

#include "BoardFixture.h"

namespace {

using namespace testing_support;
using platform::Rect;

class AnimationTest : public BoardTest {
 protected:
  void SetUp() override {
    BoardTest::SetUp();
    sim.screen_width = 1024;
    sim.screen_height = 768;
    // A tick count that is a multiple of 25 at every 50 ms tick: D's offsets are always -12.
    sim.boot_offset_ms = 100'000;
  }
  // The entries of one kind between two log entries.
  std::vector<std::string> LogBetween(const std::string& from, const std::string& to) const {
    const auto begin = std::find(sim.log.begin(), sim.log.end(), from);
    const auto end = std::find(begin, sim.log.end(), to);
    return {begin, end};
  }
};

TEST_F(AnimationTest, IntroShrinksDesktopATowardsTheCentreHiddenWhileItsBoundsChange) {
  StartBoard();
  const Rect expected[] = {{0, 0, 1024, 768},   {64, 48, 896, 672},  {128, 96, 768, 576},  {192, 144, 640, 480},
                           {256, 192, 512, 384}, {320, 240, 384, 288}, {384, 288, 256, 192}, {448, 336, 128, 96}};
  for (int n = 0; n < 8; ++n) {
    sim.log.clear();
    sim.RunUntil(50u * static_cast<unsigned>(n + 1));
    EXPECT_EQ(board::IntroStep, n + 1);
    EXPECT_EQ(Bounds("Panel1"), expected[n]) << "step " << n;
    // Hide, the four bounds, show.
    std::vector<std::string> steps;
    for (const auto& entry : sim.log)
      if (entry == "hide Panel1" || entry == "show Panel1" || entry.rfind("bounds Panel1 ", 0) == 0) steps.push_back(entry);
    ASSERT_GE(steps.size(), 2u);
    EXPECT_EQ(steps.front(), "hide Panel1");
    EXPECT_EQ(steps.back(), "show Panel1");
  }
}

TEST_F(AnimationTest, SplitStacksFourDesktopsSharingOnePhotograph) {
  StartBoard();
  sim.RunUntil(kSplitTime - 50);
  sim.log.clear();
  sim.ExpectBox(SplitBox());
  sim.RunUntil(kSplitTime);
  EXPECT_EQ(board::IntroStep, 9);
  for (const char* panel : {"Panel1", "Panel3", "Panel5", "Panel7"})
    EXPECT_EQ(Bounds(panel), (Rect{448, 336, 128, 96})) << panel;
  const auto picture = Form().Image1->Picture();
  for (auto* image : {Form().Image2, Form().Image3, Form().Image4}) EXPECT_EQ(image->Picture(), picture);
  EXPECT_EQ(sim.photographs, 1);

  // The timer is off around the box, the box is inside the bracket, then everything shows.
  const auto split = LogBetween("timer 0 50 off", "timer 0 50 on");
  std::vector<std::string> order;
  for (const auto& entry : split)
    if (entry.rfind("bounds", 0) != 0) order.push_back(entry);
  const std::vector<std::string> expected = {
      "timer 0 50 off", "topmost off", "box VT: Active化完了！", "box closed", "topmost on",
      "show Panel3",    "show Panel5", "show Panel7",           "show Label1", "show Label5",
      "show Label6",    "show Label7"};
  EXPECT_EQ(order, expected);
  for (const char* name : {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6", "Label7"})
    EXPECT_TRUE(sim.PeerShown(name)) << name;
}

TEST_F(AnimationTest, NothingMovesWhileTheSplitBoxIsOpen) {
  StartBoard();
  sim.ExpectBox({text::kSplitDone, text::kGameCaption, mb::kOk, mb::kIdOk, 1000});
  sim.RunUntil(kSplitTime);
  EXPECT_EQ(sim.Now(), kSplitTime + 1000);
  EXPECT_EQ(LogBetween("box VT: Active化完了！", "box closed").size(), 1u);
}

TEST_F(AnimationTest, DesktopABouncesFasterWithEachHit) {
  sim.tick_counts = {1, 2};  // seeds: right and down
  StartPlay();
  EXPECT_TRUE(board::BounceRight);
  EXPECT_TRUE(board::BounceDown);
  struct Case {
    int hits;
    int dx, dy;
  };
  for (const Case c : {Case{0, 32, 28}, Case{1, 40, 35}, Case{2, 48, 42}}) {
    while (Form().Hits(0) < c.hits) {
      sim.ExpectBox(Answer(0, Form().Hits(0)));
      ASSERT_TRUE(sim.Press("Label1"));
    }
    const Rect before = Bounds("Panel1");
    sim.RunUntil(sim.Now() + 50);
    EXPECT_EQ(Bounds("Panel1").left - before.left, c.dx) << c.hits << " hits";
    EXPECT_EQ(Bounds("Panel1").top - before.top, c.dy) << c.hits << " hits";
  }
}

TEST_F(AnimationTest, DesktopATurnsAfterReachingAnEdge) {
  sim.tick_counts = {1, 0};  // right, up
  StartPlay();
  // From left 448 moving right 32 a tick: 448 + 14 * 32 = 896, and 896 + 128 = 1024 reaches
  // the edge, so the next tick moves left. Vertically from 336 up 28 a tick: 336 - 12 * 28 = 0.
  std::vector<int> lefts, tops;
  for (int i = 0; i < 16; ++i) {
    sim.RunUntil(sim.Now() + 50);
    lefts.push_back(Bounds("Panel1").left);
    tops.push_back(Bounds("Panel1").top);
  }
  EXPECT_EQ(lefts[13], 896);
  EXPECT_EQ(lefts[14], 864);
  EXPECT_EQ(tops[11], 0);
  EXPECT_EQ(tops[12], 28);
}

TEST_F(AnimationTest, DesktopBRisesThenFallsUnderAGrowingPull) {
  StartPlay();
  std::vector<int> steps;
  int top = Bounds("Panel3").top;
  int left = Bounds("Panel3").left;
  for (int i = 0; i < 4; ++i) {
    sim.RunUntil(sim.Now() + 50);
    steps.push_back(Bounds("Panel3").top - top);
    EXPECT_EQ(Bounds("Panel3").left - left, 5);
    top = Bounds("Panel3").top;
    left = Bounds("Panel3").left;
  }
  EXPECT_EQ(steps, (std::vector<int>{-10, -2, 6, 14}));
  EXPECT_EQ(board::FallDY, 22);
}

TEST_F(AnimationTest, DesktopBRebouncesFromTheBottomKeepingItsSpeed) {
  sim.screen_height = 400;  // B starts at top 175, 50 high: the floor is near
  StartPlay();
  std::int32_t before = 0;
  for (int i = 0; i < 40; ++i) {
    before = board::FallDY;
    sim.RunUntil(sim.Now() + 50);
    if (Bounds("Panel3").top + Bounds("Panel3").height > 400) break;
  }
  ASSERT_GT(Bounds("Panel3").top + Bounds("Panel3").height, 400);
  EXPECT_EQ(board::FallDY, -before);
}

TEST_F(AnimationTest, DesktopCJumpsEveryNineteenThenThirteenTicks) {
  StartPlay();
  std::vector<int> jump_ticks;
  Rect last = Bounds("Panel5");
  for (int tick = 1; tick <= 60; ++tick) {
    if (tick == 25) {  // one hit after the second jump: the running wait is not shortened
      sim.ExpectBox(Answer(2, 0));
      ASSERT_TRUE(sim.Press("Label3"));
    }
    sim.RunUntil(sim.Now() + 50);
    if (Bounds("Panel5") != last) jump_ticks.push_back(tick);
    last = Bounds("Panel5");
  }
  EXPECT_EQ(jump_ticks, (std::vector<int>{1, 20, 39, 52}));
}

TEST_F(AnimationTest, DesktopCJumpsToTheTickCountModuloTheRoom) {
  StartBoard();
  sim.ExpectBox(SplitBox());
  sim.RunUntil(kSplitTime);
  // The first play tick: C's two calls come first, then D's two.
  sim.tick_counts = {1000, 777, 0, 0};
  sim.RunUntil(kFirstPlayTick);
  EXPECT_EQ(Bounds("Panel5").left, 1000 % (1024 - 128));
  EXPECT_EQ(Bounds("Panel5").top, 777 % (768 - 96));
}

TEST_F(AnimationTest, DesktopCStaysPutWhenItHasNoRoomToJump) {
  StartPlay();
  // The screen shrinks under the desktops (a change of resolution in mid-game).
  sim.screen_width = 100;
  sim.screen_height = 90;
  const Rect before = Bounds("Panel5");
  sim.RunUntil(sim.Now() + 50);
  EXPECT_EQ(Bounds("Panel5"), before);
  EXPECT_EQ(board::WarpWait, 18);
}

TEST_F(AnimationTest, DesktopDShakesAndIsPutBackTenPixelsInsideTheTopEdge) {
  StartPlay();
  // Every tick count is a multiple of 25: each offset is -12, times 3 with no hits.
  std::vector<int> tops, lefts;
  for (int i = 0; i < 11; ++i) {
    sim.RunUntil(sim.Now() + 50);
    tops.push_back(Bounds("Panel7").top);
    lefts.push_back(Bounds("Panel7").left);
  }
  EXPECT_EQ(tops[0], 336 - 36);
  EXPECT_EQ(tops[8], 336 - 9 * 36);
  EXPECT_EQ(tops[9], 10);  // 12 - 36 crosses the top
  EXPECT_EQ(lefts[9], 448 - 10 * 36);
  EXPECT_EQ(lefts[10], 448 - 11 * 36);
}

TEST_F(AnimationTest, DesktopDIsKeptInsideTheBottomAndRightEdges) {
  sim.boot_offset_ms = 100'024;  // every offset +12
  StartPlay();
  for (int i = 0; i < 20; ++i) sim.RunUntil(sim.Now() + 50);
  // Each tick pushes it 36 pixels past the edges, and each tick puts it back.
  EXPECT_EQ(Bounds("Panel7"), (Rect{1024 - 128 - 10, 768 - 96 - 10, 128, 96}));
}

TEST_F(AnimationTest, ADesktopWhoseThirdAnswerIsOpenNeitherMovesNorCountsAsCleared) {
  StartPlay();
  // Clear A, B and C; then hit D three times, keeping the third answer open for 20 ticks.
  for (int desktop = 0; desktop < 3; ++desktop) {
    const char* label = desktop == 0 ? "Label1" : desktop == 1 ? "Label2" : "Label3";
    for (int hit = 0; hit < 3; ++hit) {
      sim.ExpectBox(Answer(desktop, hit));
      ASSERT_TRUE(sim.Press(label));
    }
  }
  sim.ExpectBox(Answer(3, 0));
  ASSERT_TRUE(sim.Press("Label4"));
  sim.ExpectBox(Answer(3, 1));
  ASSERT_TRUE(sim.Press("Label4"));
  int hits_while_open = 0;
  sim.ExpectBox({text::kHitAnswers[3][2], text::kGameCaption, mb::kIconInformation, mb::kIdOk, 1000,
                 [&] { hits_while_open = Form().Hits(3); }});
  const auto ticks_before = sim.LogWith("bounds Panel7").size();
  ASSERT_TRUE(sim.Press("Label4"));
  EXPECT_EQ(hits_while_open, 3);
  EXPECT_EQ(sim.LogWith("bounds Panel7").size(), ticks_before);
  EXPECT_TRUE(sim.LogWith("board hide").empty());  // no ending while the answer is open
  EXPECT_EQ(Form().Hits(3), 4);
}

}  // namespace
