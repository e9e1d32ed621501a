#pragma once

// A window that loads the casts of the probe formats, and what the tests look at after a load: the
// cast's description of itself and of its columns, a row of the table, the head of an export.

#include "form/state.h"
#include "formats/cast.h"
#include "runtime/cell.h"
#include "runtime/convert.h"

#include "error_matchers.h"
#include "handler_fixture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillonde::testing {

/// The casts of the formats folder of the test data: copies of real casts and casts written after
/// the vendors' descriptions.
inline const std::string format_casts = std::string(QUILLONDE_TEST_DATA) + "/formats/";

/// `text` with its first `what` replaced by `with`.
inline std::string replaced(std::string_view text, std::string_view what, std::string_view with)
{
    std::string result(text);
    return result.replace(result.find(what), what.size(), with);
}

/// A broken cast, the file it is written as, the message its load fails with and the rows the table
/// keeps.
struct Broken {
    std::string name;
    std::string contents;
    std::string message;
    std::int32_t rows;
};

/// A window that loads probe casts, Yes to every question but computing a column.
class CastTest : public GoingOnTest {
protected:
    using Texts = std::vector<std::string>;

    /// The window's boxes set to salt water at 54 degrees.
    void salt_water_at_54()
    {
        controls.water = OptionButton::op_salt;
        controls.texts[TextBox::tx_lat] = "54";
    }

    /// Loads the cast `name` of the formats folder.
    LoadOutcome load_cast(const std::string& name) { return load_path(format_casts + name); }

    /// Loads `contents`, written as the file `name`.
    LoadOutcome load_text(std::string_view name, std::string_view contents)
    {
        return load_path(dir.write(name, contents));
    }

    /// The error of loading `contents` as the file `name`.
    Error load_error(std::string_view name, std::string_view contents)
    {
        return error_of([&] { load_text(name, contents); });
    }

    /// Loads each of `casts` into a fresh state, expecting its message and the rows it keeps.
    void expect_failures(const std::vector<Broken>& casts)
    {
        for (const Broken& cast : casts) {
            SCOPED_TRACE(cast.name);
            state = ProfileState{};
            EXPECT_EQ(load_error(cast.name, cast.contents).what(), cast.message);
            EXPECT_EQ(state.g_table.has_shape() ? state.g_table.filled_rows() : 0, cast.rows);
        }
    }

    /// Each column as "name|source|unit|conversion".
    Texts columns() const
    {
        Texts texts;
        for (const CastColumn& column : state.cast.columns) {
            texts.push_back(column.name + "|" + column.source + "|" + column.unit + "|" + column.conversion);
        }
        return texts;
    }

    /// Row `row` of the table, each column and then the depth, joined by "|": a value the file gives
    /// as its text, a converted one as its number, "<>" for one that is missing.
    std::string row_of(std::int32_t row) const
    {
        std::string text;
        for (std::int32_t column = 0; column <= state.ccolumns + 1; ++column) {
            const Cell cell = state.g_table.cell(column, row);
            const Sample sample = state.g_table.sample(column, row);
            const ValueRule& rule = state.g_table.rule(column);
            const bool converted =
                (rule.scale != Scale::as_given && rule.scale != Scale::minus) || rule.offset != 0.0;
            text += column == 0 ? "" : "|";
            if (cell.kind() == Cell::Kind::number) {
                text += double_to_str(cell.as_number());
            } else if (cell.is_empty() || sample.flag == SampleFlag::missing) {
                text += "<>";
            } else {
                text += converted && sample.has_value() ? double_to_str(sample.value)
                                                        : std::string(cell.as_text());
            }
        }
        return text;
    }

    /// What the cast says of itself: "format|instrument|serial|time [its source]|latitude|longitude",
    /// "?" for unknown; the time ends in its zone ("Z", "+02:00"), none where the file names none.
    std::string described() const
    {
        const CastInfo& cast = state.cast;
        const auto angle = [](const std::optional<double>& value) {
            return value ? double_to_str(round_to(*value, 6)) : std::string("?");
        };
        return cast.format + "|" + (cast.instrument.empty() ? "?" : cast.instrument) + "|" +
               (cast.serial.empty() ? "?" : cast.serial) + "|" +
               (cast.time ? iso_time(*cast.time) + " [" + cast.time->source + "]" : "?") + "|" +
               angle(cast.latitude_deg) + "|" + angle(cast.longitude_deg);
    }

    /// The first `count` lines of the profile the export writes to `name` in the test's folder, each
    /// with its ending; the whole file by default.
    std::string exported(std::size_t count = std::string::npos, const std::string& name = "profile.sva")
    {
        std::filesystem::remove(dir.file(name)); // no question on replacing it
        export_path(dir.file(name));
        const std::string profile = read_file(dir.file(name));
        std::size_t end = 0;
        for (std::size_t line = 0; line < count && end != std::string::npos; ++line) {
            end = profile.find('\n', end);
            end = end == std::string::npos ? end : end + 1;
        }
        return profile.substr(0, end);
    }
};

/// Salt water at 54 degrees and Yes to every question, computing a column too.
class SaltWaterCastTest : public CastTest {
protected:
    void SetUp() override
    {
        salt_water_at_54();
        controls.answer = [](const Question&) { return true; };
    }
};

} // namespace quillonde::testing
