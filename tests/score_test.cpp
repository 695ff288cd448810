// The score record's load and save against the registry wrapper.
#include <gtest/gtest.h>

#include "BoardFixture.h"
#include "forms/Registry.h"

namespace {

using namespace testing_support;

class ScoreRecordTest : public ::testing::Test {
 protected:
  SimBackend sim;
  forms::TApplication app{sim};
  forms::TRegistry registry;
  std::int32_t wins = -9, losses = -9, win_streak = -9, loss_streak = -9;
};

TEST_F(ScoreRecordTest, NoKeyIsAFirstRunAndTheFirstSaveCreatesAllFiveValues) {
  EXPECT_FALSE(score::LoadScoreRecord(registry, wins, losses, win_streak, loss_streak));
  EXPECT_EQ(std::vector<std::int32_t>({wins, losses, win_streak, loss_streak}), std::vector<std::int32_t>(4, 0));
  EXPECT_FALSE(sim.registry.HasKey(score::kKeyPath));

  score::SaveScoreRecord(registry, 0, 1, 0, 1);
  EXPECT_EQ(sim.registry.ValueCount(score::kKeyPath), 5u);
  EXPECT_EQ(sim.registry.Dword(score::kKeyPath, "Kachi"), 0);
  EXPECT_EQ(sim.registry.Dword(score::kKeyPath, "Make"), 1);
  EXPECT_EQ(sim.registry.Dword(score::kKeyPath, "Rensho"), 0);
  EXPECT_EQ(sim.registry.Dword(score::kKeyPath, "Renpai"), 1);
  EXPECT_EQ(sim.registry.Dword(score::kKeyPath, "Chimidoro"), 1);
  EXPECT_EQ(sim.registry.Value(score::kKeyPath, "Kachi")->type, platform::reg::kDword);
}

TEST_F(ScoreRecordTest, LoadReadsTheFourCountsAndIgnoresGamesPlayed) {
  SeedRecord(sim, {3, 5, 0, 2});
  sim.registry.SetDword(score::kKeyPath, "Chimidoro", 99);
  EXPECT_TRUE(score::LoadScoreRecord(registry, wins, losses, win_streak, loss_streak));
  EXPECT_EQ(std::vector<std::int32_t>({wins, losses, win_streak, loss_streak}), (std::vector<std::int32_t>{3, 5, 0, 2}));
  score::SaveScoreRecord(registry, -1, 2147483647, 0, 0);  // wrapping, never undefined
  EXPECT_EQ(sim.registry.Dword(score::kKeyPath, "Chimidoro"), 2147483646);
}

TEST_F(ScoreRecordTest, AKeyThatCannotBeOpenedIsAFirstRunAndASkippedSave) {
  SeedRecord(sim, {3, 5, 0, 2});
  sim.registry.refused_keys.insert("software\\telquarin\\qx-nembrolix\\vortrane");
  EXPECT_FALSE(score::LoadScoreRecord(registry, wins, losses, win_streak, loss_streak));
  EXPECT_EQ(wins, 0);
  EXPECT_NO_THROW(score::SaveScoreRecord(registry, 9, 9, 9, 9));
  EXPECT_EQ(sim.registry.Dword(score::kKeyPath, "Kachi"), 3);
}

TEST_F(ScoreRecordTest, AValueThatCannotBeWrittenStopsTheSaveThere) {
  sim.registry.failing_value = "Rensho";
  try {
    score::SaveScoreRecord(registry, 4, 5, 1, 0);
    ADD_FAILURE() << "the save did not fail";
  } catch (const forms::ERegistryException& error) {
    EXPECT_STREQ(error.what(), "Registry value 'Rensho' could not be written");
  }
  EXPECT_EQ(sim.registry.Dword(score::kKeyPath, "Kachi"), 4);
  EXPECT_EQ(sim.registry.Dword(score::kKeyPath, "Make"), 5);
  EXPECT_FALSE(sim.registry.Value(score::kKeyPath, "Rensho"));
  EXPECT_FALSE(sim.registry.Value(score::kKeyPath, "Chimidoro"));
}

TEST_F(ScoreRecordTest, AValueOfAnotherTypeOrMissingIsARegistryErrorNamingIt) {
  SeedRecord(sim, {3, 5, 0, 2});
  sim.registry.SetString(score::kKeyPath, "Rensho", "0");
  EXPECT_THROW(score::LoadScoreRecord(registry, wins, losses, win_streak, loss_streak), forms::ERegistryException);
  EXPECT_EQ(wins, 3);
  EXPECT_EQ(losses, 5);
  EXPECT_EQ(win_streak, -9);  // not read
}

}  // namespace
