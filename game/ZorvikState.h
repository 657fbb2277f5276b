#pragma once

#include "scores/BestScores.h"

#include <QString>

#include <chrono>

// The state file: ChooseStateFileName for this executable, or what SetStateFileName set.
QString StateFileName();
// Beside the executable (StateFileNameFor) when that file is there, whether the player may write
// it or not; else the same file name in the player's data folder when that one is there; else
// beside the executable when the player may create it, as in a copy run from its own folder;
// otherwise, or with InDataFolder, in the data folder.
QString ChooseStateFileName(const QString& ExecutablePath, bool InDataFolder = false);
// The rule for a given executable: everything from the file name's last dot on becomes ".dat".
QString StateFileNameFor(const QString& ExecutablePath);
// Puts the state file elsewhere (tests, tools); an empty name restores the rule above.
void SetStateFileName(const QString& FileName);

// Reads the first 520 bytes of the file into Block, waiting up to a second for a writer to finish;
// on any failure the whole block is zero.
void LoadStateBlock(const QString& FileName, TStateBlock& Block) noexcept;
// How long a save waits for another copy that holds the file: enough for its save on a busy machine.
constexpr std::chrono::milliseconds SaveWait{5000};

// Replaces the file with the block's 520 bytes, the best-scores table merged with the one the
// file holds now (MergeBestScores), waiting up to SaveWait for another copy that holds it; with
// Durable, they are on disk when it returns.
void SaveStateBlock(const QString& FileName, const TStateBlock& Block, bool Durable = true);
