// The score record: where it lives, its value names, and its load and save.
#pragma once

#include <cstdint>

#include "forms/Registry.h"

namespace score {

inline constexpr const char* kKeyPath = "\\Software\\Telquarin\\QX-Nembrolix\\Vortrane";
inline constexpr const char* kWins = "Kachi";
inline constexpr const char* kLosses = "Make";
inline constexpr const char* kWinStreak = "Rensho";
inline constexpr const char* kLossStreak = "Renpai";
inline constexpr const char* kGamesPlayed = "Chimidoro";

// Reads the record into the four counts; false on a first run (no key), with every count 0.
// A value that is missing or of another type raises the registry error, leaving the counts
// read before it in place.
bool LoadScoreRecord(forms::TRegistry& registry, std::int32_t& wins, std::int32_t& losses,
                     std::int32_t& win_streak, std::int32_t& loss_streak);

// Writes the five values; a key that cannot be opened or created is skipped silently, a
// value that cannot be written raises the registry error.
void SaveScoreRecord(forms::TRegistry& registry, std::int32_t wins, std::int32_t losses,
                     std::int32_t win_streak, std::int32_t loss_streak);

}  // namespace score
