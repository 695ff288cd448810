// Board set-up: the score record, the game's speed, the start-up warnings, the photograph and
// the start of the animation.
#include <memory>

#include "board/Form1.h"
#include "board/Texts.h"
#include "forms/Registry.h"
#include "score/ScoreRecord.h"

namespace board {

void TForm1::FormCreate(TObject*) {
  auto registry = std::make_unique<TRegistry>();
  registry->SetRootKey(HKEY_CURRENT_USER);
  FTapCount = 0;
  const bool found = score::LoadScoreRecord(*registry, FWins, FLosses, FWinStreak, FLossStreak);
  if (!found) {
    TSystemInfo info;
    GetSystemInfo(info);
    if (info.dwProcessorType == platform::kProcessorIntel386 ||
        info.dwProcessorType == platform::kProcessorIntel486)
      MessageBox(text::kProcessorNote, text::kWarningCaption, platform::mb::kIconInformation);
  }
  registry.reset();

  if (ParamCount() > 1 && ParamStr(1) == "-Tovik")
    Timer1->SetInterval(static_cast<std::uint32_t>(StrToIntDef(ParamStr(2), 50)));

  // Every tenth game runs at double speed.
  if (WrappingAdd(FWins, FLosses) % 10 == 9) {
    MessageBox(text::kDoubleSpeed, text::kDoubleSpeedCaption, platform::mb::kIconInformation);
    Timer1->SetInterval(Timer1->Interval() >> 1);
  } else {
    MessageBox(text::kContentWarning, text::kWarningCaption, platform::mb::kIconExclamation);
  }
  FCleared = false;

  SetLeft(0);
  SetTop(0);
  SetClientWidth(Screen->Width());
  SetClientHeight(Screen->Height());
  Application->ProcessMessages();

  // The board is still hidden: the photograph shows the desktop as the player left it. The
  // screen's bottom rows fall under the Click bar.
  Image1->SetPicture(Screen->Photograph(Image1->Width(), Image1->Height()));

  for (auto& hits : FHits) hits = 0;
  Panel1->SetAlign(alNone);
  TopmostOn();
  Timer1->SetEnabled(true);
}

}  // namespace board
