#pragma once

#include "error_matchers.h"
#include "handler_fixture.h"

#include "runtime/convert.h"

#include <gtest/gtest.h>

#include <filesystem>

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

/// A broken cast and the message its load fails with.
struct Broken {
    std::string contents;
    std::string message;
};

/// A window that loads casts of the probe formats, and what it holds then.
class CastTest : public HandlerTest {
protected:
    using Texts = std::vector<std::string>;

    void SetUp() override
    {
        // Every question but computing a column answered Yes; their words are kept.
        controls.answer = [](const Question& question) {
            return question.kind != QuestionKind::compute_column;
        };
    }

    /// Loads the cast `name` of the formats folder.
    void load_cast(const std::string& name) { load_path(format_casts + name); }

    /// Loads `contents`, written as the file `name`.
    void load_text(std::string_view name, std::string_view contents) { load_path(dir.write(name, contents)); }

    /// The error of loading `contents` as the file `name`.
    Error load_error(std::string_view name, std::string_view contents)
    {
        return error_of([&] { load_text(name, contents); });
    }

    /// Loads each of `casts` as the file `name`, expecting its message.
    void expect_failures(std::string_view name, const std::vector<Broken>& casts)
    {
        for (const Broken& cast : casts) {
            EXPECT_EQ(load_error(name, cast.contents).what(), cast.message);
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

    /// Row `row` of the table: each text column, then the depth; "<>" stands for empty.
    Texts row_of(std::int32_t row) const
    {
        Texts texts;
        for (std::int32_t column = 0; column <= state.g_table.last_column(); ++column) {
            const Cell cell = state.g_table.cell(column, row);
            switch (cell.kind()) {
            case Cell::Kind::empty: texts.emplace_back("<>"); break;
            case Cell::Kind::text: texts.emplace_back(cell.as_text()); break;
            case Cell::Kind::number: texts.push_back(double_to_str(cell.as_number())); break;
            }
        }
        return texts;
    }

    /// What the cast says of itself: "instrument|serial|time|latitude|longitude", "?" for unknown.
    std::string described() const
    {
        const CastInfo& cast = state.cast;
        const auto angle = [](const std::optional<double>& value) {
            return value ? double_to_str(round_to(*value, 6)) : std::string("?");
        };
        return (cast.instrument.empty() ? "?" : cast.instrument) + "|" +
               (cast.serial.empty() ? "?" : cast.serial) + "|" + (cast.time ? iso_time(*cast.time) : "?") +
               "|" + angle(cast.latitude_deg) + "|" + angle(cast.longitude_deg);
    }

    /// The first `count` lines of the profile the export writes, each with its ending.
    std::string profile_head(std::size_t count)
    {
        std::filesystem::remove(dir.file("profile.sva")); // no question on replacing it
        export_path(dir.file("profile.sva"));
        const std::string profile = read_file(dir.file("profile.sva"));
        std::size_t end = 0;
        for (std::size_t line = 0; line < count && end != std::string::npos; ++line) {
            end = profile.find('\n', end);
            end = end == std::string::npos ? end : end + 1;
        }
        return profile.substr(0, end);
    }
};

} // namespace quillonde::testing
