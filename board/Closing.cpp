// Closing and scoring: a won game at once, otherwise the retire question; the tally, the
// streak and the save of the score record.
#include <memory>
#include <string>

#include "board/Form1.h"
#include "board/Texts.h"
#include "forms/Registry.h"
#include "score/ScoreRecord.h"

namespace board {

void TForm1::FormCloseQuery(TObject*, bool& CanClose) {
  auto registry = std::make_unique<TRegistry>();
  registry->SetRootKey(HKEY_CURRENT_USER);
  CanClose = FCleared;
  if (FCleared) {
    FWins = WrappingAdd(FWins, 1);
    FLossStreak = 0;
    FWinStreak = WrappingAdd(FWinStreak, 1);
  } else {
    TopmostOff();
    if (MessageBox(text::kRetireQuestion, text::kRetireCaption, platform::mb::kYesNo | platform::mb::kIconQuestion) ==
        platform::mb::kIdYes) {
      CanClose = true;
      Application->SetTitle(text::kRetiredTitle);
      FLosses = WrappingAdd(FLosses, 1);
      FWinStreak = 0;
      FLossStreak = WrappingAdd(FLossStreak, 1);
    }
    TopmostOn();
  }
  if (CanClose) {
    // The board leaves the always-on-top band for good.
    TopmostOff();
    MessageBox(IntToStr(FWins) + text::kWinsPiece + IntToStr(FLosses) + text::kLossesPiece, text::kGameCaption,
               platform::mb::kOk);
    if (FWinStreak > 1)
      MessageBox(IntToStr(FWinStreak) + text::kWinStreakPiece, text::kGameCaption, platform::mb::kOk);
    else if (FLossStreak > 1)
      MessageBox(IntToStr(FLossStreak) + text::kLossStreakPiece, text::kGameCaption, platform::mb::kOk);
    // A record that cannot be written is reported, and the game still ends: a board left
    // open would hold the single-instance guard and count the same game again.
    try {
      score::SaveScoreRecord(*registry, FWins, FLosses, FWinStreak, FLossStreak);
    } catch (const EFrameworkError& error) {
      Application->ShowException(error);
    }
  }
}

}  // namespace board
