// The board's layout: its component tree, properties, stacking and zeroed state.
#include <gtest/gtest.h>

#include "BoardFixture.h"

namespace {

using namespace testing_support;
using forms::clAqua;
using forms::clGray;
using forms::clLime;
using forms::clRed;
using forms::clYellow;
using platform::PeerKind;

class BoardLayoutTest : public BoardTest {
 protected:
  void SetUp() override {
    BoardTest::SetUp();
    board::InitializeModule();
    app = std::make_unique<forms::TApplication>(sim);
    // Constructed directly, so that OnCreate does not run.
    form = std::make_unique<board::TForm1>(app.get());
  }
  void TearDown() override {
    form.reset();
    BoardTest::TearDown();
  }
  std::unique_ptr<board::TForm1> form;
};

TEST_F(BoardLayoutTest, TreeMatchesTheLayoutInStackingOrder) {
  struct Row {
    const char* name;
    PeerKind kind;
    const char* parent;
    platform::Rect bounds;
    bool visible;
    std::uint32_t color;  // as the peer gets it
    const char* caption;
  };
  constexpr std::uint32_t kBtnFace = 0xF0F0F0;
  const Row rows[] = {
      {"Label5", PeerKind::Label, "Form1", {8, 8, 81, 12}, false, clGray, "リタイア"},
      {"Label6", PeerKind::Label, "Form1", {8, 24, 81, 12}, false, clGray, "バージョン情報"},
      {"Label7", PeerKind::Label, "Form1", {8, 40, 81, 12}, false, clGray, "説明"},
      {"Panel1", PeerKind::Panel, "Form1", {0, 0, 640, 433}, true, kBtnFace, ""},
      {"Image1", PeerKind::Image, "Panel1", {0, 0, 640, 416}, true, kBtnFace, ""},
      {"Panel2", PeerKind::Panel, "Panel1", {0, 416, 640, 17}, true, kBtnFace, ""},
      {"Label1", PeerKind::Label, "Panel2", {5, 2, 26, 12}, false, clAqua, "Click"},
      {"Panel3", PeerKind::Panel, "Form1", {144, 40, 161, 97}, false, kBtnFace, ""},
      {"Image2", PeerKind::Image, "Panel3", {0, 0, 161, 80}, true, kBtnFace, ""},
      {"Panel4", PeerKind::Panel, "Panel3", {0, 80, 161, 17}, true, kBtnFace, ""},
      {"Label2", PeerKind::Label, "Panel4", {5, 2, 26, 12}, true, clYellow, "Click"},
      {"Panel5", PeerKind::Panel, "Form1", {144, 144, 137, 81}, false, kBtnFace, ""},
      {"Image3", PeerKind::Image, "Panel5", {0, 0, 137, 64}, true, kBtnFace, ""},
      {"Panel6", PeerKind::Panel, "Panel5", {0, 64, 137, 17}, true, kBtnFace, ""},
      {"Label3", PeerKind::Label, "Panel6", {5, 2, 26, 12}, true, clLime, "Click"},
      {"Panel7", PeerKind::Panel, "Form1", {280, 168, 137, 105}, false, kBtnFace, ""},
      {"Image4", PeerKind::Image, "Panel7", {0, 0, 137, 88}, true, kBtnFace, ""},
      {"Panel8", PeerKind::Panel, "Panel7", {0, 88, 137, 17}, true, kBtnFace, ""},
      {"Label4", PeerKind::Label, "Panel8", {5, 2, 26, 12}, true, clRed, "Click"},
  };
  // Peers are created in stacking order: handle 0 is the board, then each row in turn.
  EXPECT_EQ(sim.Peer("Form1").kind, PeerKind::Board);
  EXPECT_EQ(sim.Peer("Form1").color, 0u);
  EXPECT_EQ(sim.Peer("Form1").bounds, (platform::Rect{-4, -4, 640, 433}));
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const auto& peer = sim.Peer(row.name);
    EXPECT_EQ(form->FindComponent(row.name) != nullptr, true);
    EXPECT_EQ(peer.kind, row.kind);
    EXPECT_EQ(peer.bounds, row.bounds);
    EXPECT_EQ(peer.visible, row.visible);
    EXPECT_EQ(peer.color, row.color);
    EXPECT_EQ(peer.text, row.caption);
    EXPECT_EQ(sim.ParentName(row.name), row.parent);
    if (row.kind == PeerKind::Label) {
      EXPECT_EQ(peer.font.pixel_height, 12);
      EXPECT_EQ(peer.font.charset, 128);
      EXPECT_EQ(peer.font.face, "ＭＳ Ｐゴシック");
      EXPECT_EQ(peer.centered, std::string(row.caption) != "Click");
    }
  }
  // Menu captions are red; Click captions black, on their own colours.
  for (const char* name : {"Label5", "Label6", "Label7"}) EXPECT_EQ(sim.Peer(name).font.color, clRed) << name;
  for (const char* name : {"Label1", "Label2", "Label3", "Label4"}) EXPECT_EQ(sim.Peer(name).font.color, 0u) << name;
  // Bars keep the raised bevel; containers have none.
  for (const char* name : {"Panel2", "Panel4", "Panel6", "Panel8"}) EXPECT_TRUE(sim.Peer(name).bevel_raised) << name;
  for (const char* name : {"Panel1", "Panel3", "Panel5", "Panel7"}) EXPECT_FALSE(sim.Peer(name).bevel_raised) << name;
}

TEST_F(BoardLayoutTest, LaterSiblingsStackAboveEarlierOnes) {
  // Later siblings stack above earlier ones: menu labels lie beneath every desktop, D above C
  // above B above A.
  EXPECT_LT(form->Label7->Handle(), form->Panel1->Handle());
  EXPECT_LT(form->Panel1->Handle(), form->Panel3->Handle());
  EXPECT_LT(form->Panel3->Handle(), form->Panel5->Handle());
  EXPECT_LT(form->Panel5->Handle(), form->Panel7->Handle());
}

TEST_F(BoardLayoutTest, StateStartsZeroedAndTheTimerStopped) {
  for (int k = 0; k < 4; ++k) EXPECT_EQ(form->Hits(k), 0);
  EXPECT_EQ(form->Wins(), 0);
  EXPECT_EQ(form->Losses(), 0);
  EXPECT_EQ(form->WinStreak(), 0);
  EXPECT_EQ(form->LossStreak(), 0);
  EXPECT_EQ(form->TapCount(), 0);
  EXPECT_FALSE(form->Cleared());
  EXPECT_FALSE(form->Timer1->Enabled());
  EXPECT_EQ(form->Timer1->Interval(), 50u);
  EXPECT_EQ(form->Panel1->Align(), forms::alClient);
  EXPECT_EQ(board::IntroStep, 0);
  EXPECT_EQ(board::FallDX, 5);
  EXPECT_EQ(board::FallDY, -10);
  EXPECT_EQ(board::WarpWait, 0);
  EXPECT_EQ(board::BounceRightSeeded, 0);
  EXPECT_EQ(board::BounceDownSeeded, 0);
  EXPECT_FALSE(board::BounceRight);
  EXPECT_FALSE(board::BounceDown);
}

}  // namespace
