#include "depth/seawater.h"

#include "runtime/cell.h"
#include "runtime/convert.h"

#include "error_matchers.h"
#include "handler_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace quillonde {
namespace {

using testing::error_of;
using testing::FakeControls;
using testing::read_file;
using testing::TempDir;

TEST(Seawater, ReproducesThePublishedCheckValues)
{
    EXPECT_NEAR(sound_speed(40, 40, 10000), 1731.995, 5e-4);
    struct Check {
        double ratio, temperature_c, pressure_dbar, salinity;
    };
    for (const Check& c : {Check{1.0, 15, 0, 35.0}, Check{1.2, 20, 2000, 37.245628},
                           Check{0.65, 5, 1500, 27.995347}, Check{1.888091, 40, 10000, 40.0}}) {
        const double conductivity_ms_cm = c.ratio * 42.914;
        EXPECT_NEAR(practical_salinity(conductivity_ms_cm, c.temperature_c, c.pressure_dbar), c.salinity,
                    5e-6);
        EXPECT_NEAR(conductivity(c.salinity, c.temperature_c, c.pressure_dbar), conductivity_ms_cm,
                    42.914 * 5e-7);
    }
}

TEST(Seawater, ConductivityInvertsSalinityOverTheOceanicRange)
{
    for (const double salinity : {2.0, 15.0, 35.0, 42.0}) {
        for (const double temperature_c : {-2.0, 10.0, 35.0}) {
            for (const double pressure_dbar : {0.0, 6000.0}) {
                const double c = conductivity(salinity, temperature_c, pressure_dbar);
                EXPECT_NEAR(practical_salinity(c, temperature_c, pressure_dbar), salinity, 1e-9);
            }
        }
    }
    // No water gives these.
    EXPECT_ERROR_KIND(practical_salinity(-0.5, 10, 0), overflow);
    EXPECT_ERROR_KIND(conductivity(0.0, 10, 0), overflow);
    EXPECT_ERROR_KIND(sound_speed(-1.0, 10, 0), overflow);
}

class Derived : public testing::HandlerTest {
protected:
    void load(const std::string& cast) { load_path(std::string(QUILLONDE_TEST_DATA) + "/casts/" + cast); }
    double number(std::int32_t column, std::int32_t row) const
    {
        return cell_to_double(state.g_table.cell(column, row));
    }
    /// Exports to `name` and returns the fields of each profile line as texts, the depth first.
    std::vector<std::vector<std::string>> export_lines(const std::string& name)
    {
        export_path(dir.file(name));
        const std::string file = read_file(dir.file(name));
        std::vector<std::vector<std::string>> lines;
        for (std::size_t at = sva_header.size(); at < file.size(); ++at) {
            auto& fields = lines.emplace_back();
            for (std::size_t tab; file[at] != '\r'; at = tab + 1) {
                tab = file.find('\t', at);
                fields.push_back(file.substr(at, tab - at));
            }
            ++at; // the LF
        }
        return lines;
    }
};

// The probe's software writes SOUND and SALIN by these formulas, from its rounded Temp, Cond, Press.
TEST_F(Derived, FormulasAgreeWithTheProbesOwnColumns)
{
    load("rev205_deneb.TOB"); // Press 1, Temp 2, Cond 3, SALIN 4, SOUND 6
    double sound_off = 0.0;
    double salinity_off = 0.0;
    for (std::int32_t row = 1; row <= 250; ++row) {
        const double p = number(1, row);
        const double t = number(2, row);
        sound_off = std::max(sound_off, std::abs(sound_speed(number(4, row), t, p) - number(6, row)));
        salinity_off =
            std::max(salinity_off, std::abs(practical_salinity(number(3, row), t, p) - number(4, row)));
    }
    EXPECT_LT(sound_off, 0.04);
    EXPECT_LT(salinity_off, 0.013);
}

TEST_F(Derived, AColumnRemovedFromARealCastComesBackWithinTheProbesAgreement)
{
    load("rev205_deneb.TOB");
    const auto original = export_lines("original.sva");
    controls.answer = [](Question question) { return question == Question::compute_column; };
    for (const auto& [field, within] :
         {std::pair{sound_field, 0.05}, {salinity_field, 0.0135}, {conductivity_field, 0.02}}) {
        const auto entry = std::ranges::find(controls.list, profile_fields[field].name);
        *entry = "removed";
        const auto derived = export_lines(std::string(profile_fields[field].name) + ".sva");
        *entry = profile_fields[field].name;
        ASSERT_EQ(derived.size(), original.size());
        for (std::size_t line = 0; line < derived.size(); ++line) {
            for (std::size_t f = 0; f <= profile_fields.size(); ++f) {
                EXPECT_NEAR(str_to_double(derived[line][f]), str_to_double(original[line][f]),
                            f == field + 1 ? within : 0.0)
                    << *entry << ", line " << line;
            }
        }
    }
    EXPECT_EQ(controls.questions.size(), 3U);
}

TEST_F(Derived, EachRowsSoundIsChenAndMilleroOfThatRow)
{
    load("rev183_utf8_partial.TOB"); // Press 2, Temp 4, SALIN 6; no SOUND
    controls.answer = [](Question) { return true; };
    const auto lines = export_lines("partial.sva");
    std::size_t line = 0;
    for_each_profile_row(
        state.g_table, state.ccolumns + 1, [&](std::int32_t row, double, const std::string&) {
            ASSERT_LT(line, lines.size());
            EXPECT_EQ(lines[line++][1],
                      sva_field(sound_speed(number(6, row), number(4, row), number(2, row)), 2));
        });
    EXPECT_EQ(line, lines.size());
}

TEST_F(Derived, AsksOnlyWhatCanBeComputedAndNamesABadInput)
{
    controls.answer = [](Question) { return true; };
    const std::tuple<std::string, std::string, std::size_t> cases[] = {
        {"Press SOUND SALIN Cond", R"(The data file has no column named "Temp")", 0},
        {"Press SOUND Temp", R"(The data file has no columns named "SALIN", "Cond")", 0},
        {"Press Temp Cond", R"(Type mismatch at table row 2: Cond "x" is not a number)", 2},
    };
    for (const auto& [header, message, questions] : cases) {
        controls.questions.clear();
        controls.list.clear();
        controls.texts[TextBox::tx_ss_file] =
            dir.write("cast.TOB", "Lines : 2\n; Datasets " + header + "\n1 1 10 30 35\n2 3 10 x 35\n");
        load_data_file(controls, state);
        EXPECT_EQ(error_of([&] { export_lines("cast.sva"); }).what(), message);
        EXPECT_EQ(controls.questions.size(), questions) << header;
    }
}

} // namespace
} // namespace quillonde
