#include "depth/seawater.h"
#include "formats/sva.h"

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
    const std::tuple<std::string, std::string, std::size_t> cases[] = {
        {"Press SOUND SALIN Cond", R"(The data file has no column named "Temp")", 0},
        {"Press SOUND Temp", R"(The data file has no columns named "SALIN", "Cond")", 0},
        {"Press Temp Cond", R"(Type mismatch at table row 2: Cond "x" is not a number)", 2},
    };
    for (const auto& [header, message, questions] : cases) {
        controls.questions.clear();
        controls.texts[TextBox::tx_ss_file] =
            dir.write("cast.TOB", "Lines : 2\n; Datasets " + header + "\n1 1 10 30 35\n2 3 10 x 35\n");
        load_data_file(controls, state);
        EXPECT_EQ(error_of([&] { export_lines("cast.sva"); }).what(), message);
        EXPECT_EQ(controls.questions.size(), questions) << header;
    }
}

} // namespace
} // namespace quillonde
