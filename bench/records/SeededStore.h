// A large seeded SQLite records store for the window's figures: `count` self-test records of 40 measured
// steps over 1000 boards, written in large transactions on one connection (minutes faster than one
// transaction a record, and the same rows a store's own writes leave).
#pragma once

#include <QString>

#include <cstdint>

inline constexpr int kSeededSteps = 40;
inline constexpr int kSeededBoards = 1000;

// Creates the store at `path` (its schema through the store itself) and fills it; false when it cannot.
bool FillSeededStore(const QString& path, int count, uint32_t seed);
