// The component framework: number conversion, the layout reader and its errors, alignment,
// timers and the error box of the event dispatcher.
#include <gtest/gtest.h>

#include "forms/Application.h"
#include "forms/SysUtils.h"
#include "platform/sim/SimBackend.h"

namespace {

using namespace forms;
using platform::sim::SimBackend;

TEST(StrToIntDef, AcceptsDecimalAndHexadecimalAndRejectsTheRest) {
  struct Case {
    const char* text;
    std::int32_t expected;
  };
  const Case cases[] = {
      {"200", 200},          {"  200", 200},        {"+7", 7},
      {"-1", -1},            {"$1F", 31},           {"x10", 16},
      {"0x10", 16},          {"0X1f", 31},          {"-$10", -16},
      {"$FFFFFFFF", -1},     {"2147483647", 2147483647}, {"-2147483648", INT32_MIN},
      {"abc", 50},           {"", 50},              {"12 ", 50},
      {"2147483648", 50},    {"-2147483649", 50},   {"$100000000", 50},
      {"0x", 50},            {"-", 50},             {"1e3", 50},
      {"\t5", 50},           {"$", 50},             {"0012", 12},
  };
  for (const auto& c : cases) EXPECT_EQ(StrToIntDef(c.text, 50), c.expected) << '"' << c.text << '"';
}

TEST(IntToStr, WritesDecimalWithSign) {
  EXPECT_EQ(IntToStr(0), "0");
  EXPECT_EQ(IntToStr(-12), "-12");
  EXPECT_EQ(IntToStr(INT32_MIN), "-2147483648");
}

class TTestForm : public TForm {
 public:
  TTestForm(TComponent* owner, std::string_view layout, const THandlerTable& handlers) : TForm(owner) {
    LoadLayout(layout, "TTestForm", handlers);
  }
};

class FrameworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim.on_unexpected_box = [this](const platform::sim::ShownBox& box) { unexpected.push_back(box.text); };
  }
  SimBackend sim;
  TApplication app{sim};
  std::vector<std::string> unexpected;
};

TEST_F(FrameworkTest, MalformedLayoutsAreErrorsNamingTheCulprit) {
  const THandlerTable handlers = {{"Known", TNotifyEvent([](TObject*) {})}};
  struct Case {
    const char* layout;
    const char* culprit;
  };
  const Case cases[] = {
      {"object F: TTestForm\n  OnCreate = Missing\nend\n", "Missing"},
      {"object F: TTestForm\n  OnCloseQuery = Known\nend\n", "Known"},
      {"object F: TTestForm\n  object P: TPanel\n  end\n", "missing 'end'"},
      {"object F: TTestForm\n  object P: TWidget\n  end\nend\n", "TWidget"},
      {"object F: TTestForm\n  Colour = clBlack\nend\n", "Colour"},
      {"object F: TTestForm\n  Left 5\nend\n", "line 2"},
      {"object F: TTestForm\n  Caption = 'open\nend\n", "unterminated"},
      {"object F: TOtherForm\nend\n", "TOtherForm"},
      {"object F: TTestForm\n  object P: TPanel\n    Align = alTop\n  end\nend\n", "alTop"},
      {"object F: TTestForm\n  object P: TPanel\n  end\n  object P: TPanel\n  end\nend\n", "second component named P"},
      {"object F: TTestForm\nend\nend\n", "after the last"},
  };
  for (const auto& c : cases) {
    try {
      TTestForm form(&app, c.layout, handlers);
      ADD_FAILURE() << "accepted: " << c.layout;
    } catch (const EFrameworkError& error) {
      EXPECT_NE(std::string(error.what()).find(c.culprit), std::string::npos)
          << "message \"" << error.what() << "\" does not name " << c.culprit;
    }
  }
}

TEST_F(FrameworkTest, AlignedChildrenFollowTheirParentUntilAlignedNone) {
  const char* layout =
      "object F: TTestForm\n"
      "  ClientWidth = 640\n  ClientHeight = 433\n"
      "  object P: TPanel\n    Align = alClient\n"
      "    object I: TImage\n      Align = alClient\n    end\n"
      "    object B: TPanel\n      Height = 17\n      Align = alBottom\n    end\n"
      "  end\n"
      "end\n";
  TTestForm form(&app, layout, {});
  EXPECT_EQ(sim.Peer("I").bounds, (platform::Rect{0, 0, 640, 416}));
  EXPECT_EQ(sim.Peer("B").bounds, (platform::Rect{0, 416, 640, 17}));
  form.SetClientWidth(1024);
  form.SetClientHeight(768);
  EXPECT_EQ(sim.Peer("P").bounds, (platform::Rect{0, 0, 1024, 768}));
  EXPECT_EQ(sim.Peer("I").bounds, (platform::Rect{0, 0, 1024, 751}));
  EXPECT_EQ(sim.Peer("B").bounds, (platform::Rect{0, 751, 1024, 17}));

  auto* panel = dynamic_cast<TPanel*>(form.FindComponent("P"));
  panel->SetAlign(alNone);
  form.SetClientWidth(800);
  EXPECT_EQ(sim.Peer("P").bounds, (platform::Rect{0, 0, 1024, 768}));
  panel->SetBounds(10, 20, 128, 96);
  EXPECT_EQ(sim.Peer("I").bounds, (platform::Rect{0, 0, 128, 79}));
  EXPECT_EQ(sim.Peer("B").bounds, (platform::Rect{0, 79, 128, 17}));
}

class TimerTest : public FrameworkTest {
 protected:
  TTimer timer{&app};
  int ticks = 0;
};

TEST_F(TimerTest, ZeroIntervalNeverTicksAndSettingTheIntervalRestartsThePeriod) {
  timer.OnTimer = [this](TObject*) { ++ticks; };
  timer.SetInterval(0);
  timer.SetEnabled(true);
  sim.RunUntil(10'000);
  EXPECT_EQ(ticks, 0);

  timer.SetInterval(100);  // at 10'000: ticks at 10'100, 10'200
  sim.RunUntil(10'250);
  EXPECT_EQ(ticks, 2);
  timer.SetInterval(100);  // restarted at 10'250: the next tick comes at 10'350, not 10'300
  sim.RunUntil(10'340);
  EXPECT_EQ(ticks, 2);
  sim.RunUntil(10'350);
  EXPECT_EQ(ticks, 3);
  timer.SetEnabled(false);
  sim.RunUntil(20'000);
  EXPECT_EQ(ticks, 3);
}

TEST_F(TimerTest, TicksAreNeverDeliveredReentrantly) {
  int depth = 0;
  int deepest = 0;
  timer.SetInterval(10);
  timer.OnTimer = [&](TObject*) {
    ++ticks;
    ++depth;
    deepest = std::max(deepest, depth);
    if (ticks == 1) app.MessageBox("open", "VT", 0);  // 100 ms of ticks pass beneath it
    --depth;
  };
  sim.ExpectBox({"open", "VT", 0, platform::mb::kIdOk, 100});
  timer.SetEnabled(true);
  sim.RunUntil(200);
  EXPECT_EQ(deepest, 1);
  EXPECT_GT(ticks, 5);  // ticks resume once the box has closed
}

TEST_F(TimerTest, AnErrorEscapingAHandlerIsShownInTheErrorBox) {
  app.SetTitle("Game");
  timer.SetInterval(10);
  timer.OnTimer = [&](TObject*) {
    ++ticks;
    throw EFrameworkError("Something broke");
  };
  sim.ExpectBox({"Something broke.", "Game", platform::mb::kIconHand});
  sim.ExpectBox({"Something broke.", "Game", platform::mb::kIconHand});
  timer.SetEnabled(true);
  sim.RunUntil(20);
  EXPECT_EQ(ticks, 2);  // the timer goes on after an error
  EXPECT_TRUE(unexpected.empty());
}

}  // namespace
