// The loader on arbitrary file contents: whatever a file holds, the load ends with a
// quillonde::Error or without one, and the profile table is consistent afterwards.

#include "fuzz_support.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillonde;
    fuzz::FuzzWindow window;
    ProfileState state;
    const bool loaded = fuzz::load_input({reinterpret_cast<const char*>(data), size}, window, state);
    return loaded ? 0 : -1;
}
