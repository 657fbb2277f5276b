#include "framework/Random.h"

#include <ctime>
#include <random>

namespace {
std::mt19937& Generator()
{
    static std::mt19937 Engine;
    return Engine;
}
} // namespace

void RandSeed(std::uint32_t Seed)
{
    Generator().seed(Seed);
}

void Randomize()
{
    RandSeed(static_cast<std::uint32_t>(std::time(nullptr)));
}

int Random(int Range)
{
    const std::uint32_t Draw = Generator()() & 0x7FFFFFFFu;
    return Range > 0 ? int(Draw % std::uint32_t(Range)) : 0;
}
