#pragma once

// What the tests of the probe formats look at after a load: the columns as the cast model
// describes them, a row of the table, the first lines of an exported profile.

#include "form/state.h"
#include "formats/cast.h"
#include "runtime/cell.h"
#include "runtime/convert.h"

#include "error_matchers.h"
#include "handler_fixture.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillonde::testing {

inline const std::string formats_data = std::string(QUILLONDE_TEST_DATA) + "/formats/";

/// Each column as "name [unit] <- source: conversion".
inline std::vector<std::string> described_columns(const CastInfo& cast)
{
    std::vector<std::string> lines;
    for (const CastColumn& column : cast.columns) {
        lines.push_back(column.name + " [" + column.unit + "] <- " + column.source +
                        (column.conversion.empty() ? "" : ": " + column.conversion));
    }
    return lines;
}

/// A table row's texts joined by "|", and its depth after "@" ("-" for none).
inline std::string row_text(const ProfileState& state, std::int32_t row)
{
    std::string text;
    for (std::int32_t column = 0; column <= state.ccolumns; ++column) {
        const Cell cell = state.g_table.cell(column, row);
        text += (column == 0 ? "" : "|") + (cell.is_empty() ? std::string() : std::string(cell.as_text()));
    }
    const Cell depth = state.g_table.cell(state.ccolumns + 1, row);
    return text + " @" + (depth.is_empty() ? std::string("-") : double_to_str(depth.as_number()));
}

/// The first `count` lines of `text`, each with its line end.
inline std::string first_lines(const std::string& text, std::size_t count)
{
    std::size_t end = 0;
    for (std::size_t k = 0; k < count && end != std::string::npos; ++k) {
        end = text.find('\n', end);
        end = end == std::string::npos ? end : end + 1;
    }
    return text.substr(0, end);
}

/// What a cast file says of itself, in one line: format, instrument, serial, time, position.
inline std::string described_cast(const CastInfo& cast)
{
    const auto angle = [](const std::optional<double>& value) {
        return value ? double_to_str(round_to(*value, 6)) : std::string("?");
    };
    return cast.format + " | " + cast.instrument + " | " + cast.serial + " | " +
           (cast.time ? iso_time(*cast.time) : std::string("?")) + " | " + angle(cast.latitude_deg) + " " +
           angle(cast.longitude_deg);
}

/// A window and a profile state that load the probe casts of tests/data/formats: salt water at
/// 54 degrees, every question answered Yes.
class ProbeCastTest : public GoingOnTest {
protected:
    void SetUp() override
    {
        controls.water = OptionButton::op_salt;
        controls.texts[TextBox::tx_lat] = "54";
        controls.answer = [](const Question&) { return true; };
    }

    LoadOutcome load(const std::string& name) { return load_path(formats_data + name); }

    /// A broken file, the message its load fails with, and the rows the table keeps.
    struct Broken {
        std::string name;
        std::string text;
        std::string message;
        std::int32_t rows;
    };

    /// Loads each file of `cases`, written into the test's folder, into a fresh state.
    void expect_failures(const std::vector<Broken>& cases)
    {
        for (const Broken& broken : cases) {
            SCOPED_TRACE(broken.name);
            state = ProfileState{};
            controls.texts[TextBox::tx_ss_file] = dir.write(broken.name, broken.text);
            EXPECT_EQ(error_of([&] { load_data_file(controls, state); }).what(), broken.message);
            EXPECT_EQ(state.g_table.has_shape() ? state.g_table.filled_rows() : 0, broken.rows);
        }
    }

    /// Exports the loaded cast to `name` in the test's folder and returns the file.
    std::string exported(const std::string& name = "profile.sva")
    {
        export_path(dir.file(name));
        return read_file(dir.file(name));
    }
};

} // namespace quillonde::testing
