#include "depth/seawater.h"
#include "formats/sva.h"

#include "runtime/cell.h"
#include "runtime/convert.h"

#include "error_matchers.h"
#include "handler_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
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
}

// Reference values from Debian's python3-gsw 3.6.16 (TEOS-10's GSW-C): gsw.C_from_SP(S, T / 1.00024, P)
// and gsw.SP_from_C(C, T / 1.00024, P). GSW reads ITS-90 and works in t68 = 1.00024 t90; handing it
// T / 1.00024 gives its formulas this program's T, so the scales do not enter the comparison. Over
// S 0 to 42, T -2 to 35 degC and P 0 to 10000 dbar the two agree to 3E-10 mS/cm and 3E-14.
TEST(Seawater, FreshWaterFollowsHillsExtensionAsTeos10Does)
{
    struct Case {
        double salinity, temperature_c, pressure_dbar, conductivity_ms_cm;
    };
    // The paper's iteration gave the first five 69.14, 0.0041, 80.52, 47.47 and 61.42 mS/cm: none of
    // them has the salinity asked for, four are sea water.
    for (const Case& c :
         {Case{0, 30, 0, 0.002001133546}, Case{0, -2, 10000, 0.0008252606671},
          Case{0.001, 35, 10000, 0.0059967204}, Case{0.005, 15, 1000, 0.01116456833},
          Case{0.01, 25, 0, 0.02455342669}, Case{0.1, 0, 0, 0.1127506202}, Case{0.5, 10, 2000, 0.7376918167},
          Case{1, 35, 5000, 2.456094875}, Case{1.999, -2, 0, 1.9002284}, Case{2, 15, 0, 3.046726998}}) {
        const double found = conductivity(c.salinity, c.temperature_c, c.pressure_dbar);
        EXPECT_NEAR(found, c.conductivity_ms_cm, 1e-9) << c.salinity << " at " << c.temperature_c;
        EXPECT_NEAR(practical_salinity(found, c.temperature_c, c.pressure_dbar), c.salinity, 1e-9);
    }
    for (const Case& c : {Case{0.0003929210297, 25, 0, 0.003}, Case{0.02490573837, 20, 0, 0.05},
                          Case{0.3951552231, 5, 100, 0.5}, Case{1.338793261, -2, 10000, 1.5},
                          Case{0.8952022489, 30, 3000, 2.0}, Case{1.501689232, 35, 0, 3.5}}) {
        EXPECT_NEAR(practical_salinity(c.conductivity_ms_cm, c.temperature_c, c.pressure_dbar), c.salinity,
                    1e-9)
            << c.conductivity_ms_cm << " at " << c.temperature_c;
    }
    // Zero conductivity is salinity 0, and so is the extension's dip just above it (GSW gives none).
    EXPECT_EQ(practical_salinity(0.0, 25, 0), 0.0);
    EXPECT_EQ(practical_salinity(0.001, 25, 0), 0.0);
    // A sensor's noise about zero is fresh water, and says so; further below, no water.
    for (const double noise : {-1e-9, -0.05, -0.1}) {
        EXPECT_TRUE(is_conductivity_noise(noise));
        EXPECT_EQ(practical_salinity(noise, 10, 0), 0.0);
    }
    EXPECT_FALSE(is_conductivity_noise(0.0));
    EXPECT_FALSE(is_conductivity_noise(-0.1001));
    EXPECT_EQ(
        error_of([] { practical_salinity(-0.1001, 15, 0); }).what(),
        std::string("Overflow: the salinity of -0.1001 mS/cm at 15 degC and 0 dbar lies beyond the range of "
                    "the formula"));
}

// A value from inputs far outside a formula's range is no measurement; one slightly outside is
// computed, and the range says so to a caller that counts such rows.
TEST(Seawater, InputsFarOutsideTheFormulasRangeFailNamingTheInput)
{
    const std::pair<std::function<double()>, std::string> far[] = {
        {[] { return sound_speed(35, 10, -1e6); }, "pressure -1000000 dbar lies far outside the range of "
                                                   "Chen and Millero's sound speed (0 to 10000 dbar)"},
        {[] { return sound_speed(1000, 10, 0); },
         "salinity 1000 lies far outside the range of Chen and Millero's sound speed (0 to 40)"},
        {[] { return sound_speed(35, 999.99, 10); }, "temperature 999.99 degC lies far outside the range of "
                                                     "Chen and Millero's sound speed (0 to 40 degC)"},
        {[] { return sound_speed(-0.01, 10, 0); },
         "salinity -0.01 lies far outside the range of Chen and Millero's sound speed (0 to 40)"},
        {[] { return practical_salinity(80, 10, 0); }, "the salinity 82.016595 of 80 mS/cm at 10 degC and 0 "
                                                       "dbar lies far outside the range of PSS-78 (0 to 42)"},
        {[] { return practical_salinity(30, -5.01, 0); },
         "temperature -5.01 degC lies far outside the range of PSS-78 (-2 to 35 degC)"},
        {[] { return conductivity(45.01, 10, 0); },
         "salinity 45.01 lies far outside the range of PSS-78 (0 to 42)"},
        {[] { return conductivity(35, 10, 12000.5); },
         "pressure 12000.5 dbar lies far outside the range of PSS-78 (0 to 10000 dbar)"},
    };
    for (const auto& [formula, message] : far) {
        const Error error = error_of(formula);
        EXPECT_EQ(error.kind(), ErrorKind::overflow);
        EXPECT_EQ(error.detail(), message);
    }
    // The ends of the accepted range are computed, and lie outside the ranges the formulas hold for.
    EXPECT_NEAR(sound_speed(45, 45, 12000), 1771.06, 0.01);
    EXPECT_NEAR(sound_speed(0, -5, -5), 1375.63, 0.01);
    EXPECT_NEAR(practical_salinity(conductivity(45, -5, -5), -5, -5), 45, 1e-9);
    EXPECT_NEAR(practical_salinity(conductivity(0, 45, 12000), 45, 12000), 0, 1e-9);
    for (const auto& [s, t, p] : {std::tuple{45.0, 45.0, 12000.0}, {0.0, -5.0, -5.0}}) {
        EXPECT_FALSE(sound_speed_range.contains(s, t, p));
        EXPECT_FALSE(practical_salinity_range.contains(s, t, p));
    }
    // Slightly outside: a polar cast, fresh water just below 0 degC, a probe reading above the surface.
    EXPECT_FALSE(sound_speed_range.contains(34, -1.9, 10));
    EXPECT_TRUE(practical_salinity_range.contains(34, -1.9, 10));
    EXPECT_FALSE(sound_speed_range.contains(0, -0.1, 10));
    EXPECT_FALSE(practical_salinity_range.contains(35, 10, -0.3));
    EXPECT_FALSE(practical_salinity_range.contains(42.5, 10, 0));
    EXPECT_TRUE(sound_speed_range.contains(0, 0, 0));
    EXPECT_TRUE(sound_speed_range.contains(40, 40, 10000));
    EXPECT_TRUE(practical_salinity_range.contains(42, 35, 10000));
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
    controls.water = OptionButton::op_salt; // a sea cast: fresh water would be asked about
    controls.texts[TextBox::tx_lat] = "54";
    load("rev205_deneb.TOB");
    const auto original = export_lines("original.sva");
    controls.answer = [](const Question& question) { return question.kind == QuestionKind::compute_column; };
    for (const auto& [field, within] :
         {std::pair{sound_field, 0.05}, {salinity_field, 0.0135}, {conductivity_field, 0.02}}) {
        const auto entry =
            std::ranges::find(state.cast.columns, profile_fields[field].name, &CastColumn::name);
        entry->name = "removed";
        const auto derived = export_lines(std::string(profile_fields[field].name) + ".sva");
        entry->name = profile_fields[field].name;
        ASSERT_EQ(derived.size(), original.size());
        for (std::size_t line = 0; line < derived.size(); ++line) {
            for (std::size_t f = 0; f <= profile_fields.size(); ++f) {
                EXPECT_NEAR(str_to_double(derived[line][f]), str_to_double(original[line][f]),
                            f == field + 1 ? within : 0.0)
                    << profile_fields[field].name << ", line " << line;
            }
        }
    }
    EXPECT_EQ(controls.questions.size(), 3U);
}

// Each row's SOUND from that row's Temp, SALIN and Press, as the file of a probe without SOUND was
// written before the export learnt other formats.
TEST_F(Derived, ACastWithoutSoundGetsChenAndMilleroOfEachRow)
{
    load("rev183_utf8_partial.TOB"); // Press 2, Temp 4, SALIN 6; no SOUND
    controls.answer = [](const Question&) { return true; };
    export_path(dir.file("partial.sva"));
    EXPECT_EQ(read_file(dir.file("partial.sva")), std::string(sva_header) +
                                                      "1.2\t1506.76\t13.87\t38.14\t45.14\t\r\n"
                                                      "1.7\t1506.78\t13.87\t38.15\t45.16\t\r\n"
                                                      "2.2\t1506.81\t13.88\t38.14\t45.16\t\r\n"
                                                      "2.8\t1506.78\t13.86\t38.16\t45.15\t\r\n"
                                                      "3.3\t1506.71\t13.84\t38.15\t45.12\t\r\n"
                                                      "3.9\t1506.66\t13.82\t38.15\t45.1\t\r\n"
                                                      "4.4\t1506.63\t13.81\t38.15\t45.09\t\r\n"
                                                      "5\t1506.64\t13.81\t38.15\t45.09\t\r\n"
                                                      "5.5\t1506.62\t13.8\t38.15\t45.08\t\r\n"
                                                      "6\t1506.63\t13.8\t38.15\t45.08\t\r\n"
                                                      "6.6\t1506.64\t13.8\t38.15\t45.09\t\r\n"
                                                      "7.1\t1506.61\t13.79\t38.15\t45.08\t\r\n"
                                                      "7.6\t1506.63\t13.79\t38.16\t45.07\t\r\n"
                                                      "8.2\t1506.56\t13.77\t38.15\t45.06\t\r\n"
                                                      "8.7\t1506.54\t13.76\t38.15\t45.04\t\r\n"
                                                      "9.2\t1506.32\t13.69\t38.15\t44.96\t\r\n");
}

TEST_F(Derived, AsksOnlyWhatCanBeComputedAndNamesABadInput)
{
    controls.answer = [](const Question&) { return true; };
    const std::tuple<std::string, std::string, std::size_t, std::string> cases[] = {
        // What cannot be computed is written as 0, after one question (and SALIN 30 under fresh
        // water asks another).
        {"Press SOUND SALIN Cond", R"(Type mismatch at table row 2: SALIN "x" is not a number)", 2,
         "1 1 1490 30 35\n2 3 1490 x 35\n"},
        {"Press SOUND Temp", R"(Type mismatch at table row 2: Temp "x" is not a number)", 1,
         "1 1 1490 30\n2 3 1490 x\n"},
        {"Press Temp Cond", R"(Type mismatch at table row 2: Cond "x" is not a number)", 2,
         "1 1 10 30 35\n2 3 10 x 35\n"},
    };
    for (const auto& [header, message, questions, rows] : cases) {
        controls.questions.clear();
        controls.texts[TextBox::tx_ss_file] =
            dir.write("cast.TOB", "Lines : 2\n; Datasets " + header + "\n" + rows);
        load_data_file(controls, state);
        EXPECT_EQ(error_of([&] { export_lines("cast.sva"); }).what(), message);
        EXPECT_EQ(controls.questions.size(), questions) << header;
    }
}

// Slightly outside a formula's range is computed and counted; far outside fails naming the row.
TEST_F(Derived, RowsNearAFormulasRangeAreCountedAndRowsFarOutsideFail)
{
    controls.answer = [](const Question&) { return true; };
    controls.texts[TextBox::tx_ss_file] = dir.write(
        "polar.TOB", "Lines : 3\n; Datasets Press Temp Cond\n1 1 -1.9 30\n2 2 10 -0.05\n3 3 10 30\n");
    load_data_file(controls, state);
    EXPECT_EQ(export_lines("polar.sva").size(), 3U);
    ASSERT_EQ(controls.questions.size(), 3U);
    EXPECT_EQ(controls.questions.back(),
              "1 row of SOUND was computed from values slightly outside the range of Chen and Millero's "
              "formula. 1 row of Cond between -0.1 and 0 mS/cm, a fresh-water sensor's noise, was read as "
              "SALIN 0.");

    controls.texts[TextBox::tx_ss_file] =
        dir.write("fresh.TOB", "Lines : 2\n; Datasets Press Temp SALIN\n1 1 10 30\n2 2 10 -0.3\n");
    load_data_file(controls, state);
    EXPECT_STREQ(error_of([&] { export_lines("fresh.sva"); }).what(),
                 "Overflow at table row 2: salinity -0.3 lies far outside the range of PSS-78 (0 to 42)");
}

} // namespace
} // namespace quillonde
