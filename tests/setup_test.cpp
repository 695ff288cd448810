// Board set-up: start-up boxes, the switch, the double-speed rule, the photograph, and a
// damaged score record.
#include <gtest/gtest.h>

#include "BoardFixture.h"

namespace {

using namespace testing_support;

class SetUpTest : public BoardTest {};

TEST_F(SetUpTest, ProcessorNoteComesFirstOnlyOnAFirstRunOnA386Or486) {
  struct Case {
    std::uint32_t processor;
    bool has_record;
    bool note;
  };
  const Case cases[] = {{386, false, true}, {486, false, true}, {586, false, false},
                        {8664, false, false}, {386, true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.processor << (c.has_record ? " with a record" : " first run"));
    SimBackend run;
    run.processor_type = c.processor;
    if (c.has_record) SeedRecord(run, {1, 2, 0, 1});
    if (c.note) run.ExpectBox({text::kProcessorNote, text::kWarningCaption, mb::kIconInformation});
    run.ExpectBox(ContentWarning());
    const auto application = CreateBoardOn(run);
    EXPECT_EQ(run.PendingExpectedBoxes(), 0u);
    for (const auto& box : run.Boxes()) EXPECT_TRUE(box.expected) << box.text;
  }
}

TEST_F(SetUpTest, SwitchAndDoubleSpeedSetTheInterval) {
  struct Case {
    std::vector<std::string> arguments;
    std::uint32_t normal;
    std::uint32_t double_speed;
  };
  const Case cases[] = {
      {{}, 50, 25},
      {{"-Tovik", "200"}, 200, 100},
      {{"-Tovik", "201"}, 201, 100},
      {{"-Tovik"}, 50, 25},
      {{"-tovik", "200"}, 50, 25},
      {{"-TOVIK", "200"}, 50, 25},
      {{"play", "-Tovik", "200"}, 50, 25},
      {{"-Tovik", "abc"}, 50, 25},
      {{"-Tovik", " $10"}, 16, 8},
      {{"-Tovik", "0"}, 0, 0},
      {{"-Tovik", "-1"}, 4294967295u, 2147483647u},
      {{"-Tovik", "300", "extra"}, 300, 150},
  };
  for (const bool double_speed : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << (double_speed ? "double speed, " : "") << c.arguments.size() << " arguments"
                                      << (c.arguments.empty() ? "" : ", first " + c.arguments[0]));
      SimBackend run;
      run.arguments = {"vortrane"};
      run.arguments.insert(run.arguments.end(), c.arguments.begin(), c.arguments.end());
      SeedRecord(run, double_speed ? Record{4, 5, 1, 0} : Record{3, 5, 1, 0});
      run.ExpectBox(double_speed ? ExpectedBox{text::kDoubleSpeed, text::kDoubleSpeedCaption, mb::kIconInformation}
                                 : ContentWarning());
      const auto application = CreateBoardOn(run);
      EXPECT_EQ(board::Form1->Timer1->Interval(), double_speed ? c.double_speed : c.normal);
      EXPECT_TRUE(board::Form1->Timer1->Enabled());
      EXPECT_EQ(run.PendingExpectedBoxes(), 0u);
    }
  }
}

TEST_F(SetUpTest, ZeroIntervalLeavesTheBoardStill) {
  sim.arguments = {"vortrane", "-Tovik", "0"};
  StartBoard();
  sim.RunUntil(60'000);
  EXPECT_EQ(board::IntroStep, 0);
  EXPECT_EQ(Bounds("Panel1"), (platform::Rect{0, 0, 640, 480}));
}

TEST_F(SetUpTest, DoubleSpeedComesOnEveryTenthGameAndNeverForNegativeSums) {
  struct Case {
    std::int32_t wins;
    std::int32_t losses;
    bool double_speed;
  };
  const Case cases[] = {{4, 5, true},          {0, 9, true},      {10, 9, true},      {0, 0, false},
                        {5, 5, false},         {-1, 0, false},    {-11, 0, false},    {0, -21, false},
                        {INT32_MAX, 0, false}, {2147483640, 9, false}, {INT32_MIN, -1, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.wins << " + " << c.losses);
    SimBackend run;
    SeedRecord(run, {c.wins, c.losses, 0, 0});
    run.ExpectBox(c.double_speed ? ExpectedBox{text::kDoubleSpeed, text::kDoubleSpeedCaption, mb::kIconInformation}
                                 : ContentWarning());
    const auto application = CreateBoardOn(run);
    EXPECT_EQ(run.PendingExpectedBoxes(), 0u);
    EXPECT_EQ(run.Boxes().size(), 1u);
  }
}

TEST_F(SetUpTest, PhotographIsTheScreensTopLeftTakenHiddenAfterTheBoxes) {
  sim.screen_width = 320;
  sim.screen_height = 240;
  sim.ExpectBox(ContentWarning());
  CreateBoard();

  const auto picture = Form().Image1->Picture();
  ASSERT_TRUE(picture);
  ASSERT_EQ(picture->width, 320);
  ASSERT_EQ(picture->height, 223);
  for (int y = 0; y < picture->height; ++y)
    for (int x = 0; x < picture->width; ++x)
      ASSERT_EQ(picture->pixels[static_cast<std::size_t>(y * 320 + x)], SimBackend::DesktopPixel(x, y)) << x << "," << y;
  EXPECT_EQ(sim.Peer("Image1").picture, picture);
  EXPECT_EQ(sim.Peer("Image1").bounds, (platform::Rect{0, 0, 320, 223}));
  EXPECT_EQ(sim.Peer("Panel2").bounds, (platform::Rect{0, 223, 320, 17}));
  EXPECT_EQ(sim.Peer("Form1").bounds, (platform::Rect{0, 0, 320, 240}));

  // Taken while the board is hidden, after the warning has closed.
  const auto& log = sim.log;
  const auto photograph = std::find(log.begin(), log.end(), "photograph 320x223");
  ASSERT_NE(photograph, log.end());
  EXPECT_LT(std::find(log.begin(), log.end(), "box closed"), photograph);
  EXPECT_TRUE(sim.LogWith("board show").empty());
  EXPECT_EQ(sim.photographs, 1);

  // Then the board joins the always-on-top band and the timer runs; desktop A no longer
  // follows the board's size.
  EXPECT_TRUE(sim.topmost);
  EXPECT_TRUE(Form().Timer1->Enabled());
  EXPECT_EQ(Form().Panel1->Align(), forms::alNone);
  Form().SetClientWidth(100);
  EXPECT_EQ(Bounds("Panel1"), (platform::Rect{0, 0, 320, 240}));
}

TEST_F(SetUpTest, DamagedRecordShowsTheErrorBoxAndStopsSetUp) {
  struct Case {
    const char* name;
    bool as_string;  // otherwise missing
    std::int32_t wins_kept;
  };
  const Case cases[] = {{"Kachi", true, 0}, {"Make", true, 3}, {"Renpai", false, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimBackend run;
    SeedRecord(run, {3, 5, 2, 0});
    if (c.as_string) run.registry.SetString(score::kKeyPath, c.name, "7");
    else run.registry.RemoveValue(score::kKeyPath, c.name);
    run.ExpectBox({"Registry value '" + std::string(c.name) + "' is missing or not a whole number.",
                   text::kApplicationTitle, mb::kIconHand});
    const auto application = CreateBoardOn(run);
    EXPECT_EQ(run.PendingExpectedBoxes(), 0u);
    EXPECT_EQ(run.Boxes().size(), 1u);
    EXPECT_EQ(run.photographs, 0);
    EXPECT_FALSE(board::Form1->Timer1->Enabled());
    EXPECT_FALSE(run.topmost);
    EXPECT_EQ(board::Form1->Wins(), c.wins_kept);
    EXPECT_EQ(board::Form1->Losses(), std::string(c.name) == "Renpai" ? 5 : 0);
  }
}

}  // namespace

namespace {

using namespace testing_support;

TEST_F(SetUpTest, AfterADamagedRecordTheBoardStillCoversTheScreen) {
  sim.registry.SetString(score::kKeyPath, "Kachi", "3");
  sim.ExpectBox({"Registry value 'Kachi' is missing or not a whole number.", text::kApplicationTitle, mb::kIconHand});
  CreateBoard();
  Form().Show();
  EXPECT_EQ(Bounds("Form1"), (platform::Rect{0, 0, 640, 480}));
  EXPECT_EQ(Bounds("Panel1"), (platform::Rect{0, 0, 640, 480}));
  EXPECT_EQ(Bounds("Panel2"), (platform::Rect{0, 463, 640, 17}));
}

}  // namespace
