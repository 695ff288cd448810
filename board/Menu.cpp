// The menu labels (retire, version, help), their highlight, and the complaints of the
// background.
#include <string>

#include "board/Form1.h"
#include "board/Texts.h"

namespace board {

void TForm1::Label5Click(TObject*) { Close(); }

void TForm1::Label6Click(TObject*) {
  TopmostOff();
  MessageBox(std::string(text::kVersionText) + " " + text::kMakersNotice, text::kVersionCaption, platform::mb::kOk);
  TopmostOn();
}

void TForm1::Label7Click(TObject*) {
  TopmostOff();
  MessageBox(text::kHelp, text::kGameCaption, platform::mb::kOk);
  TopmostOn();
  // The hidden slow-down: only after exactly three background double-clicks, once a game.
  if (FTapCount == 3) {
    Timer1->SetInterval(500);
    FTapCount = 4;
  }
}

void TForm1::HighlightMenu(TLabel* lit, TLabel* first_grey, TLabel* second_grey) {
  lit->SetColor(clLime);
  first_grey->SetColor(clGray);
  second_grey->SetColor(clGray);
}

void TForm1::Label5MouseMove(TObject*, TShiftState, int, int) { HighlightMenu(Label5, Label6, Label7); }
void TForm1::Label6MouseMove(TObject*, TShiftState, int, int) { HighlightMenu(Label6, Label5, Label7); }
void TForm1::Label7MouseMove(TObject*, TShiftState, int, int) { HighlightMenu(Label7, Label5, Label6); }

void TForm1::FormMouseMove(TObject*, TShiftState, int, int) {
  Label5->SetColor(clGray);
  Label6->SetColor(clGray);
  Label7->SetColor(clGray);
}

void TForm1::FormDblClick(TObject*) {
  TopmostOff();
  const std::int32_t n = FTapCount;
  FTapCount = n + 1;
  for (const auto& complaint : text::kComplaints) {
    if (complaint.count == n) {
      MessageBox(complaint.text, text::kGameCaption, platform::mb::kOk);
      break;
    }
  }
  TopmostOn();
}

}  // namespace board
