// The animation tick: the intro, the split into four desktops, and the four ways of moving.
#include "board/Form1.h"
#include "board/Texts.h"

namespace board {

void TForm1::Timer1Timer(TObject*) {
  if (BounceRightSeeded == 0) {
    BounceRight = (GetTickCount() & 1u) != 0;
    ++BounceRightSeeded;
  }
  if (BounceDownSeeded == 0) {
    BounceDown = (GetTickCount() & 2u) != 0;
    ++BounceDownSeeded;
  }

  if (IntroStep < 8) {
    // The photographed desktop shrinks towards the centre.
    const std::int32_t n = IntroStep;
    Panel1->Hide();
    Panel1->SetWidth(ClientWidth() / 8 * (8 - n));
    Panel1->SetHeight(ClientHeight() / 8 * (8 - n));
    Panel1->SetLeft(ClientWidth() / 16 * n);
    Panel1->SetTop(ClientHeight() / 16 * n);
    Panel1->Show();
    IntroStep = n + 1;
  } else if (IntroStep == 8) {
    Split();
  } else {
    if (FHits[0] < 3) MoveBouncing();
    if (FHits[1] < 3) MoveFalling();
    if (FHits[2] < 3) MoveJumping();
    if (FHits[3] < 3) {
      MoveShaking();
    } else if (FHits[0] > 3 && FHits[1] > 3 && FHits[2] > 3 && FHits[3] > 3) {
      PlayEnding();
    }
  }
}

void TForm1::Split() {
  Timer1->SetEnabled(false);
  IntroStep = 9;
  for (TPanel* copy : {Panel3, Panel5, Panel7}) {
    copy->SetWidth(Panel1->Width());
    copy->SetHeight(Panel1->Height());
    copy->SetTop(Panel1->Top());
    copy->SetLeft(Panel1->Left());
  }
  // One photograph for all four desktops.
  for (TImage* image : {Image2, Image3, Image4}) image->SetPicture(Image1->Picture());
  TopmostOff();
  MessageBox(text::kSplitDone, text::kGameCaption, platform::mb::kOk);
  TopmostOn();
  for (TControl* control : std::initializer_list<TControl*>{Panel3, Panel5, Panel7, Label1, Label5, Label6, Label7})
    control->Show();
  Timer1->SetEnabled(true);
}

// Desktop A bounces in straight lines; the test follows the move, so it may stand beyond an
// edge for one tick.
void TForm1::MoveBouncing() {
  const std::int32_t h = FHits[0];
  const std::int32_t s = 8 * h + 32;
  if (BounceRight) {
    Panel1->SetLeft(Panel1->Left() + s);
    if (ClientWidth() <= Panel1->Left() + Panel1->Width()) BounceRight = false;
  } else {
    Panel1->SetLeft(Panel1->Left() - s);
    if (Panel1->Left() <= 0) BounceRight = true;
  }
  const std::int32_t t = 7 * h + 28;
  if (BounceDown) {
    Panel1->SetTop(Panel1->Top() + t);
    if (ClientHeight() <= Panel1->Top() + Panel1->Height()) BounceDown = false;
  } else {
    Panel1->SetTop(Panel1->Top() - t);
    if (Panel1->Top() <= 0) BounceDown = true;
  }
}

// Desktop B falls under a pull that grows with its hits and rebounds at the edges.
void TForm1::MoveFalling() {
  const std::int32_t h = FHits[1];
  Panel3->SetTop(Panel3->Top() + FallDY);
  Panel3->SetLeft(Panel3->Left() + FallDX);
  if (Panel3->Top() < 0 || ClientHeight() < Panel3->Top() + Panel3->Height()) FallDY = -FallDY;
  else FallDY = FallDY + 8 * h + 8;
  if (Panel3->Left() < 0 || ClientWidth() < Panel3->Left() + Panel3->Width()) FallDX = -FallDX;
}

// Desktop C jumps to a place chosen by the tick count, then waits.
void TForm1::MoveJumping() {
  const std::int32_t h = FHits[2];
  const std::int32_t w = WarpWait;
  WarpWait = w - 1;
  if (w > 0) return;
  // With no room to jump (a screen that has shrunk under the desktop) it stays where it is.
  const std::int32_t room_x = Screen->Width() - Panel5->Width();
  const std::uint32_t x = GetTickCount();
  if (room_x > 0) Panel5->SetLeft(static_cast<std::int32_t>(x % static_cast<std::uint32_t>(room_x)));
  WarpWait = 6 * (3 - h);
  const std::int32_t room_y = Screen->Height() - Panel5->Height();
  const std::uint32_t y = GetTickCount();
  if (room_y > 0) Panel5->SetTop(static_cast<std::int32_t>(y % static_cast<std::uint32_t>(room_y)));
}

// Desktop D shakes on the spot, kept 10 pixels inside an edge it crosses.
void TForm1::MoveShaking() {
  const std::int32_t h = FHits[3];
  const auto offset = [] { return static_cast<std::int32_t>(GetTickCount() % 25u) - 12; };
  Panel7->SetLeft(Panel7->Left() + offset() * (h + 3));
  Panel7->SetTop(Panel7->Top() + offset() * (h + 3));
  if (Panel7->Top() < 0) Panel7->SetTop(10);
  else if (ClientHeight() < Panel7->Top() + Panel7->Height()) Panel7->SetTop(ClientHeight() - Panel7->Height() - 10);
  if (Panel7->Left() < 0) Panel7->SetLeft(10);
  else if (ClientWidth() < Panel7->Left() + Panel7->Width()) Panel7->SetLeft(ClientWidth() - Panel7->Width() - 10);
}

}  // namespace board
