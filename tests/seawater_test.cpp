#include "depth/seawater.h"

#include "form/export.h"
#include "form/loader.h"
#include "runtime/cell.h"
#include "runtime/convert.h"

#include "error_matchers.h"
#include "fake_controls.h"
#include "temp_dir.h"

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

const std::string casts = std::string(QUILLONDE_TEST_DATA) + "/casts/";

double number(const ProfileState& state, std::int32_t column, std::int32_t row)
{
    return cell_to_double(state.g_table.cell(column, row));
}

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
    for (const double salinity : {2.0, 5.0, 15.0, 30.0, 35.0, 42.0}) {
        for (const double temperature_c : {-2.0, 0.0, 10.0, 25.0, 35.0}) {
            for (const double pressure_dbar : {0.0, 1000.0, 6000.0, 10000.0}) {
                const double c = conductivity(salinity, temperature_c, pressure_dbar);
                EXPECT_NEAR(practical_salinity(c, temperature_c, pressure_dbar), salinity, 1e-9)
                    << salinity << ", " << temperature_c << " degC, " << pressure_dbar << " dbar";
            }
        }
    }
    // No water below these gives a salinity, a conductivity or a sound speed.
    EXPECT_ERROR_KIND(practical_salinity(-0.5, 10, 0), overflow);
    EXPECT_ERROR_KIND(conductivity(0.0, 10, 0), overflow);
    EXPECT_ERROR_KIND(sound_speed(-1.0, 10, 0), overflow);
    EXPECT_ERROR_KIND(sound_speed(35, 1e80, 0), overflow);
}

// The probe's software writes SOUND and SALIN by these formulas: within the written digits and
// its rounding of Temp, Cond and Press.
TEST(Seawater, AgreesWithTheProbesOwnColumns)
{
    FakeControls controls;
    ProfileState state;
    controls.texts[TextBox::tx_ss_file] = casts + "rev205_deneb.TOB";
    load_data_file(controls, state);
    double sound_off = 0.0;
    double salinity_off = 0.0;
    for (std::int32_t row = 1; row <= 250; ++row) { // Press 1, Temp 2, Cond 3, SALIN 4, SOUND 6
        const double p = number(state, 1, row);
        const double t = number(state, 2, row);
        sound_off =
            std::max(sound_off, std::abs(sound_speed(number(state, 4, row), t, p) - number(state, 6, row)));
        salinity_off = std::max(
            salinity_off, std::abs(practical_salinity(number(state, 3, row), t, p) - number(state, 4, row)));
    }
    EXPECT_LT(sound_off, 0.04);
    EXPECT_LT(salinity_off, 0.013);
}

class DerivedExport : public ::testing::Test {
protected:
    void load(const std::string& cast)
    {
        controls.texts[TextBox::tx_ss_file] = casts + cast;
        load_data_file(controls, state);
    }

    std::string export_to(const std::string& name)
    {
        controls.texts[TextBox::tx_out] = dir.file(name);
        export_profile(controls, state);
        return read_file(dir.file(name));
    }

    /// The fields of each profile line, the depth first.
    static std::vector<std::vector<std::string>> lines_of(const std::string& file)
    {
        std::vector<std::vector<std::string>> lines;
        for (std::size_t at = sva_header.size(); at < file.size(); at = file.find("\r\n", at) + 2) {
            std::vector<std::string>& fields = lines.emplace_back();
            for (std::size_t tab = 0; file[at] != '\r'; at = tab + 1) {
                tab = file.find('\t', at);
                fields.push_back(file.substr(at, tab - at));
            }
        }
        return lines;
    }

    TempDir dir;
    FakeControls controls;
    ProfileState state;
};

TEST_F(DerivedExport, AColumnRemovedFromARealCastComesBackWithinTheProbesAgreement)
{
    load("rev205_deneb.TOB");
    const auto original = lines_of(export_to("original.sva"));
    controls.answer = [](Question question) { return question == Question::compute_column; };
    struct Case {
        std::size_t field;
        double within;
    };
    for (const Case c :
         {Case{sound_field, 0.05}, Case{salinity_field, 0.0135}, Case{conductivity_field, 0.02}}) {
        const std::string name(profile_fields[c.field].name);
        const auto entry = std::ranges::find(controls.list, name);
        ASSERT_NE(entry, controls.list.end());
        *entry = "removed";
        controls.questions.clear();
        const auto derived = lines_of(export_to(name + ".sva"));
        *entry = name;
        ASSERT_EQ(controls.questions.size(), 1U);
        EXPECT_NE(controls.questions[0].find("has no " + name + " column"), std::string::npos);
        ASSERT_EQ(derived.size(), original.size());
        for (std::size_t line = 0; line < derived.size(); ++line) {
            for (std::size_t f = 0; f <= profile_fields.size(); ++f) {
                if (f == c.field + 1) {
                    EXPECT_NEAR(str_to_double(derived[line][f]), str_to_double(original[line][f]), c.within)
                        << name << ", line " << line;
                } else {
                    EXPECT_EQ(derived[line][f], original[line][f]) << name << ", line " << line;
                }
            }
        }
    }
}

TEST_F(DerivedExport, EachRowsSoundIsChenAndMilleroOfThatRow)
{
    load("rev183_utf8_partial.TOB"); // Press 2, Temp 4, SALIN 6; no SOUND
    controls.answer = [](Question) { return true; };
    const auto lines = lines_of(export_to("partial.sva"));
    std::size_t line = 0;
    for_each_profile_row(
        state.g_table, state.ccolumns + 1, [&](std::int32_t row, double, const std::string&) {
            ASSERT_LT(line, lines.size());
            const double expected =
                sound_speed(number(state, 6, row), number(state, 4, row), number(state, 2, row));
            EXPECT_EQ(lines[line++][1], sva_field(expected, 2)) << "row " << row;
        });
    EXPECT_EQ(line, lines.size());
    EXPECT_GT(line, 10U);
}

TEST_F(DerivedExport, AsksOnlyWhatCanBeComputedAndNamesABadInput)
{
    controls.answer = [](Question) { return true; };
    struct Case {
        std::string header;
        std::string message;
        std::size_t questions;
    };
    const Case cases[] = {
        {"Datasets Press SOUND SALIN Cond", R"(The data file has no column named "Temp")", 0},
        {"Datasets Press SOUND Temp", R"(The data file has no columns named "SALIN", "Cond")", 0},
        {"Datasets Pressure Temp SALIN Cond", R"(The data file has no column named "SOUND")", 0},
        {"Datasets Press Temp Cond", R"(Type mismatch at table row 2: Cond "x" is not a number)", 2},
    };
    for (const Case& c : cases) {
        controls.questions.clear();
        controls.list.clear();
        controls.texts[TextBox::tx_ss_file] =
            dir.write("cast.TOB", "Lines : 2\n; " + c.header + "\n1 1 10 30 35\n2 3 10 x 35\n");
        load_data_file(controls, state);
        EXPECT_EQ(error_of([&] { export_to("cast.sva"); }).what(), c.message) << c.header;
        EXPECT_EQ(controls.questions.size(), c.questions) << c.header;
    }
}

} // namespace
} // namespace quillonde
