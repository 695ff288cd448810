// The Click bars: hits on each desktop's label, their answers, and a desktop's removal at its
// third hit.
#include "board/Form1.h"
#include "board/Texts.h"

namespace board {

void TForm1::HitDesktop(int desktop, TPanel* container) {
  TopmostOff();
  const std::int32_t n = ++FHits[desktop];
  const auto& answers = text::kHitAnswers[desktop];
  if (n == 1 || n == 2) {
    MessageBox(answers[n - 1], text::kGameCaption, platform::mb::kIconInformation);
  } else if (n == 3) {
    // While the answer is open the counter stays 3: the desktop neither moves nor counts as
    // cleared.
    container->Hide();
    MessageBox(answers[2], text::kGameCaption, platform::mb::kIconInformation);
    FHits[desktop] = 4;
  }
  TopmostOn();
}

void TForm1::Label1MouseDown(TObject*, TMouseButton, TShiftState, int, int) { HitDesktop(0, Panel1); }
void TForm1::Label2MouseDown(TObject*, TMouseButton, TShiftState, int, int) { HitDesktop(1, Panel3); }
void TForm1::Label3MouseDown(TObject*, TMouseButton, TShiftState, int, int) { HitDesktop(2, Panel5); }
void TForm1::Label4MouseDown(TObject*, TMouseButton, TShiftState, int, int) { HitDesktop(3, Panel7); }

}  // namespace board
