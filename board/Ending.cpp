// The ending: the real desktop for ten seconds, the photograph sliding off the screen, the
// closing warning and the close of a won game.
#include "board/Form1.h"
#include "board/Texts.h"

namespace board {

void TForm1::PlayEnding() {
  Timer1->SetEnabled(false);
  Hide();
  Application->ShowApplicationWindow(false);
  Sleep(10000);
  Application->SetTitle(text::kEndingTitle);
  Application->ShowApplicationWindow(true);
  Show();
  for (TLabel* label : {Label1, Label5, Label6, Label7}) label->Hide();
  Panel1->SetLeft(0);
  Panel1->SetTop(0);
  Panel1->SetVisible(true);
  Application->ProcessMessages();
  Sleep(80);
  do {
    Panel1->SetTop(Panel1->Top() + Screen->Height() / 16);
    Panel1->SetLeft(Panel1->Left() + Screen->Width() / 16);
    Application->ProcessMessages();
    Sleep(70);
  } while (Screen->Height() > Panel1->Top());
  Hide();
  MessageBox(text::kEndingWarning, text::kEndingWarningCaption, platform::mb::kIconHand);
  FCleared = true;
  Close();
}

}  // namespace board
