// The board: the form class TForm1, its components, its game state and its handlers.
#pragma once

#include <cstdint>
#include <string_view>

#include "forms/Application.h"
#include "forms/Controls.h"

namespace board {

using namespace forms;

class TForm1 : public TForm {
 public:
  explicit TForm1(TComponent* owner);

  // Components, as the layout names them.
  TPanel* Panel1 = nullptr;
  TPanel* Panel2 = nullptr;
  TImage* Image1 = nullptr;
  TLabel* Label1 = nullptr;
  TPanel* Panel3 = nullptr;
  TImage* Image2 = nullptr;
  TPanel* Panel4 = nullptr;
  TLabel* Label2 = nullptr;
  TPanel* Panel5 = nullptr;
  TImage* Image3 = nullptr;
  TPanel* Panel6 = nullptr;
  TLabel* Label3 = nullptr;
  TPanel* Panel7 = nullptr;
  TImage* Image4 = nullptr;
  TPanel* Panel8 = nullptr;
  TLabel* Label4 = nullptr;
  TTimer* Timer1 = nullptr;
  TLabel* Label5 = nullptr;
  TLabel* Label6 = nullptr;
  TLabel* Label7 = nullptr;

  // Handlers, attached by name from the layout.
  void FormCreate(TObject* Sender);
  void FormCloseQuery(TObject* Sender, bool& CanClose);
  void FormDblClick(TObject* Sender);
  void FormMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void Timer1Timer(TObject* Sender);
  void Label1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Label2MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Label3MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Label4MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Label5Click(TObject* Sender);
  void Label6Click(TObject* Sender);
  void Label7Click(TObject* Sender);
  void Label5MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void Label6MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void Label7MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);

  // Game state, read by the tests through these accessors.
  std::int32_t Hits(int desktop) const { return FHits[desktop]; }
  std::int32_t Wins() const { return FWins; }
  std::int32_t Losses() const { return FLosses; }
  std::int32_t WinStreak() const { return FWinStreak; }
  std::int32_t LossStreak() const { return FLossStreak; }
  std::int32_t TapCount() const { return FTapCount; }
  bool Cleared() const { return FCleared; }

 private:
  // The always-on-top bracket around message boxes shown while the board is visible.
  void TopmostOn() { SetTopmost(true); }
  void TopmostOff() { SetTopmost(false); }
  int MessageBox(std::string_view text, std::string_view caption, unsigned flags) {
    return Application->MessageBox(text, caption, flags);
  }
  void HitDesktop(int desktop, TPanel* container);
  void MoveBouncing();
  void MoveFalling();
  void MoveJumping();
  void MoveShaking();
  void Split();
  void PlayEnding();
  void HighlightMenu(TLabel* lit, TLabel* first_grey, TLabel* second_grey);

  std::int32_t FHits[4] = {0, 0, 0, 0};
  std::int32_t FWins = 0;
  std::int32_t FLosses = 0;
  std::int32_t FWinStreak = 0;
  std::int32_t FLossStreak = 0;
  std::int32_t FTapCount = 0;
  bool FCleared = false;
};

extern TForm1* Form1;

// The animation's own memory, alive for the whole process.
extern std::int32_t IntroStep;
extern bool BounceRight;
extern bool BounceDown;
extern std::uint8_t BounceRightSeeded;
extern std::uint8_t BounceDownSeeded;
extern std::int32_t FallDX;
extern std::int32_t FallDY;
extern std::int32_t WarpWait;

// Sets the module's variables to the values they hold when the program starts.
void InitializeModule();

// The layout description of the board.
extern const std::string_view kForm1Layout;

}  // namespace board
