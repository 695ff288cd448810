// Loading and saving the score record through the registry wrapper.
#include "score/ScoreRecord.h"

#include "forms/SysUtils.h"

namespace score {

bool LoadScoreRecord(forms::TRegistry& registry, std::int32_t& wins, std::int32_t& losses,
                     std::int32_t& win_streak, std::int32_t& loss_streak) {
  if (!registry.OpenKey(kKeyPath, false)) {
    wins = losses = win_streak = loss_streak = 0;
    return false;
  }
  wins = registry.ReadInteger(kWins);
  losses = registry.ReadInteger(kLosses);
  win_streak = registry.ReadInteger(kWinStreak);
  loss_streak = registry.ReadInteger(kLossStreak);
  registry.CloseKey();
  return true;
}

void SaveScoreRecord(forms::TRegistry& registry, std::int32_t wins, std::int32_t losses,
                     std::int32_t win_streak, std::int32_t loss_streak) {
  if (!registry.OpenKey(kKeyPath, true)) return;
  registry.WriteInteger(kWins, wins);
  registry.WriteInteger(kLosses, losses);
  registry.WriteInteger(kWinStreak, win_streak);
  registry.WriteInteger(kLossStreak, loss_streak);
  registry.WriteInteger(kGamesPlayed, forms::WrappingAdd(wins, losses));
  registry.CloseKey();
}

}  // namespace score
