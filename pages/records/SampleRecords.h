// A small seeded set of self-test records, for pictures of the records window and for trying it out on a
// station that has kept none yet: several boards, retries, a slow drift and a few failures.
#pragma once

#include "RecordStore.h"

#include <cstdint>

// Writes `count` records (each through the store's own Write) from `seed`; returns the board ID of the
// newest one.
uint32_t WriteSampleRecords(IRecordStore& store, int count, uint32_t seed);
