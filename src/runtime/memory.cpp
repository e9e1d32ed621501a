#include "runtime/memory.h"

#include <fstream>
#include <limits>
#include <string>

namespace quillonde {

std::uint64_t available_memory_bytes()
{
    // Linux reports it in /proc/meminfo as "MemAvailable:   12345678 kB".
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    std::uint64_t kibibytes = 0;
    std::string unit;
    while (meminfo >> key >> kibibytes >> unit) {
        if (key == "MemAvailable:") {
            return kibibytes * 1024U;
        }
    }
    return std::numeric_limits<std::uint64_t>::max();
}

} // namespace quillonde
