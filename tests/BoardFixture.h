// A board on the simulated platform, created as start-up creates it, for tests of its handlers.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "board/Form1.h"
#include "board/Texts.h"
#include "forms/Application.h"
#include "platform/sim/SimBackend.h"
#include "score/ScoreRecord.h"

namespace testing_support {

using platform::sim::ExpectedBox;
using platform::sim::SimBackend;
namespace text = board::text;
namespace mb = platform::mb;

inline ExpectedBox ContentWarning() { return {text::kContentWarning, text::kWarningCaption, mb::kIconExclamation}; }
inline ExpectedBox SplitBox() { return {text::kSplitDone, text::kGameCaption, mb::kOk}; }
inline ExpectedBox Answer(int desktop, int hit, std::uint32_t pass_ms = 0) {
  return {text::kHitAnswers[desktop][hit], text::kGameCaption, mb::kIconInformation, mb::kIdOk, pass_ms};
}
inline ExpectedBox RetireQuestion(int answer) {
  return {text::kRetireQuestion, text::kRetireCaption, mb::kYesNo | mb::kIconQuestion, answer};
}
inline ExpectedBox Tally(const std::string& tally) { return {tally, text::kGameCaption, mb::kOk}; }
inline ExpectedBox EndingWarning() { return {text::kEndingWarning, text::kEndingWarningCaption, mb::kIconHand}; }

// The score record as a test sets it up or reads it back.
struct Record {
  std::int32_t wins, losses, win_streak, loss_streak;
};

inline void SeedRecord(SimBackend& sim, Record record) {
  sim.registry.SetDword(score::kKeyPath, score::kWins, record.wins);
  sim.registry.SetDword(score::kKeyPath, score::kLosses, record.losses);
  sim.registry.SetDword(score::kKeyPath, score::kWinStreak, record.win_streak);
  sim.registry.SetDword(score::kKeyPath, score::kLossStreak, record.loss_streak);
}

// Virtual times of the default 50 ms game: eight intro ticks, the split, then play.
constexpr std::uint64_t kSplitTime = 450;
constexpr std::uint64_t kFirstPlayTick = 500;

// The five stored values, -999 for one that is missing or not a REG_DWORD.
inline std::vector<std::int32_t> StoredRecord(const SimBackend& run) {
  std::vector<std::int32_t> values;
  for (const char* name : {score::kWins, score::kLosses, score::kWinStreak, score::kLossStreak, score::kGamesPlayed})
    values.push_back(run.registry.Dword(score::kKeyPath, name).value_or(-999));
  return values;
}

inline void FailOnUnexpectedBoxes(SimBackend& run) {
  run.on_unexpected_box = [](const platform::sim::ShownBox& box) {
    ADD_FAILURE() << "unexpected box \"" << box.caption << "\": " << box.text;
  };
}

// Creates the board on run the way start-up does; the caller has scripted the set-up's boxes.
inline std::unique_ptr<forms::TApplication> CreateBoardOn(SimBackend& run) {
  board::InitializeModule();
  auto application = std::make_unique<forms::TApplication>(run);
  application->SetTitle(text::kApplicationTitle);
  application->CreateForm(board::Form1);
  return application;
}

// Creates the board on run, shows it and plays the intro and the split.
inline std::unique_ptr<forms::TApplication> PlayToSplitOn(SimBackend& run) {
  run.ExpectBox(ContentWarning());
  run.ExpectBox(SplitBox());
  auto application = CreateBoardOn(run);
  board::Form1->Show();
  run.RunUntil(kSplitTime);
  return application;
}

class BoardTest : public ::testing::Test {
 protected:

  void SetUp() override { FailOnUnexpectedBoxes(sim); }
  void TearDown() override {
    EXPECT_EQ(sim.PendingExpectedBoxes(), 0u) << "boxes the script expected were never shown";
    app.reset();
  }

  // Creates the board the way start-up does; the caller has scripted the set-up's boxes.
  void CreateBoard() { app = CreateBoardOn(sim); }
  // Creates and shows the board after the usual content warning.
  void StartBoard() {
    sim.ExpectBox(ContentWarning());
    CreateBoard();
    board::Form1->Show();
  }
  // Runs the intro and the split; the board is in play afterwards.
  void StartPlay() { app = PlayToSplitOn(sim); }
  // Hits every desktop three times, in the order D, A, B, C, answering every box.
  void ClearAll() {
    for (const int desktop : {3, 0, 1, 2}) {
      const std::string label = "Label" + std::to_string(desktop + 1);
      for (int hit = 0; hit < 3; ++hit) {
        sim.ExpectBox(Answer(desktop, hit));
        ASSERT_TRUE(sim.Press(label)) << label;
      }
    }
  }
  board::TForm1& Form() { return *board::Form1; }
  platform::Rect Bounds(const char* name) const { return sim.Peer(name).bounds; }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const auto& box : sim.Boxes()) texts.push_back(box.text);
    return texts;
  }

  SimBackend sim;
  std::unique_ptr<forms::TApplication> app;
};

}  // namespace testing_support
