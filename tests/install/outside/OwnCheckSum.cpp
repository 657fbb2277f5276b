// The program's own CheckSum, unrelated to the library's, with the same signature: the library
// must go on using its own.
#include <cstddef>
#include <cstdint>

std::uint32_t CheckSum(const void* Data, std::size_t Size)
{
    return Data && Size ? 0xC0FFEEu : 0u;
}
