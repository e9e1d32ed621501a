#pragma once

#include "runtime/error.h"

#include <gtest/gtest.h>

#include <string>

namespace quillonde::testing {

/// Runs `action` and returns the Error it raises; fails the test when it raises none.
template <typename Action> Error error_of(Action&& action)
{
    try {
        action();
    } catch (const Error& error) {
        return error;
    }
    ADD_FAILURE() << "no error was raised";
    return Error(ErrorKind::io_error, "no error was raised");
}

} // namespace quillonde::testing

/// Expects `statement` to raise an Error of the given kind.
#define EXPECT_ERROR_KIND(statement, expected_kind)                                                          \
    EXPECT_EQ(::quillonde::testing::error_of([&] { statement; }).kind(),                                     \
              ::quillonde::ErrorKind::expected_kind)
