#pragma once

#include <cstdint>

namespace quillonde {

/// The memory the machine can still give the program without swapping, in bytes; the largest
/// value of the type when the system does not say.
std::uint64_t available_memory_bytes();

} // namespace quillonde
