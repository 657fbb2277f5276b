#pragma once

#include <cstdint>

// The runtime's pseudo-random generator.
void RandSeed(std::uint32_t Seed);
// Seeds the generator from the clock, in seconds.
void Randomize();
// The remainder of the next non-negative draw divided by Range; 0 when Range is 0.
int Random(int Range);
