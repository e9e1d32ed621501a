#pragma once

#include "profile/table.h"

#include <array>
#include <cstdint>
#include <exception>
#include <system_error>
#include <thread>
#include <type_traits>

namespace quillonde {

/// The rows a table needs before a walk over them is worth a second thread.
inline constexpr std::int32_t rows_worth_a_thread = 1 << 16;

/// Calls `work(first, last)` for the rows 1 to table.last_row(): for a long table, where the
/// machine has a second processor, for its two halves at once, on two threads; else once for all
/// rows. Returns the results of the halves in row order, the second one default-made where one call
/// took all rows. `work` only reads the table, which nothing changes meanwhile.
template <typename Work>
auto in_halves(const ProfileTable& table, Work&& work)
    -> std::array<std::invoke_result_t<Work&, std::int32_t, std::int32_t>, 2>
{
    std::array<std::invoke_result_t<Work&, std::int32_t, std::int32_t>, 2> results{};
    const std::int32_t last = table.last_row();
    const std::int32_t half = last / 2;
    std::exception_ptr failure;
    std::thread second;
    if (table.filled_rows() >= rows_worth_a_thread && std::thread::hardware_concurrency() > 1) {
        try {
            second = std::thread([&] {
                try {
                    results[1] = work(half + 1, last);
                } catch (...) {
                    failure = std::current_exception();
                }
            });
        } catch (const std::system_error&) {
            // No thread to be had: one call takes every row.
        }
    }
    try {
        results[0] = work(1, second.joinable() ? half : last);
    } catch (...) {
        if (second.joinable()) {
            second.join();
        }
        throw;
    }
    if (second.joinable()) {
        second.join();
        if (failure) {
            std::rethrow_exception(failure);
        }
    }
    return results;
}

} // namespace quillonde
