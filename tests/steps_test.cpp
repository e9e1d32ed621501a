// The steps between the cast and the sounder, on small written casts whose answer is known (fresh
// water among them) and on real casts: the Sea-Bird raw cast with its soak, a Valeport RapidSVT
// with a spike in its first rows.
#include "form/steps.h"
#include "profile/cast_steps.h"

#include "handler_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <variant>
#include <vector>

namespace quillonde {
namespace {

using testing::read_file;

const std::string csv_title = "depth_m,sound_speed_m_s,temperature_c,salinity_psu,conductivity_ms_cm\r\n";
const std::string formats = std::string(QUILLONDE_TEST_DATA) + "/formats/";

/// A cast of SOUND and Temp at `depths`, each row's values given, as a load would leave it.
class Steps : public testing::GoingOnTest {
protected:
    void set_cast(const std::vector<double>& depths, const std::vector<double>& sounds,
                  const std::vector<double>& temperatures)
    {
        state.cast.columns = {{"SOUND", "SOUND", {}, {}}, {"Temp", "Temp", {}, {}}};
        state.last_load.names_listed = 2;
        state.ccolumns = 1;
        state.g_table.resize(2, static_cast<std::int32_t>(depths.size()), 1U << 30U);
        for (std::size_t k = 0; k < depths.size(); ++k) {
            const auto row = static_cast<std::int32_t>(k + 1);
            state.g_table.store_texts(row, value_text(sounds[k], 3) + " " + value_text(temperatures[k], 3),
                                      2);
            state.g_table.store_depth(row, depths[k]);
        }
    }
    /// The rows `rule` leaves out.
    std::vector<std::int32_t> left_out(Rule rule) const
    {
        std::vector<std::int32_t> rows;
        for (std::int32_t row = 1; row <= state.g_table.last_row(); ++row) {
            if (state.g_table.row_left_out(row) == rule) {
                rows.push_back(row);
            }
        }
        return rows;
    }
    std::string export_csv()
    {
        export_path(dir.file("p.csv"));
        return read_file(dir.file("p.csv"));
    }
};

std::vector<double> flat(std::size_t count, double value)
{
    return std::vector<double>(count, value);
}

TEST_F(Steps, TheSoakIsTheHangingNearTheSurfaceBeforeTheDescent)
{
    // Fresh water, sound speed and temperature alike throughout: only the trace tells. In air for
    // 12 rows, 30 rows hanging about 2 m, raised to 0.6 m, then down a metre a row.
    std::vector<double> depths = flat(12, -0.1);
    for (int k = 0; k < 30; ++k) {
        depths.push_back(2.0 + (k % 3) * 0.2);
    }
    depths.insert(depths.end(), {1.5, 0.6, 0.9});
    for (int k = 2; k <= 20; ++k) {
        depths.push_back(k);
    }
    set_cast(depths, flat(depths.size(), 1450.0), flat(depths.size(), 8.0));
    state.steps.drop_soak = true;
    apply_steps(state);
    std::vector<std::int32_t> soak;
    for (std::int32_t row = 1; row <= 43; ++row) {
        soak.push_back(row);
    }
    EXPECT_EQ(left_out(Rule::soak), soak); // the descent starts at 0.6 m, row 44
    // Taken back when the step is no longer asked for.
    state.steps.drop_soak = false;
    apply_steps(state);
    EXPECT_TRUE(left_out(Rule::soak).empty());

    // A steady descent, and one that stops below the soak's depths, have none.
    std::vector<double> paused;
    for (int k = 1; k <= 30; ++k) {
        paused.push_back(k);
    }
    set_cast(paused, flat(paused.size(), 1450.0), flat(paused.size(), 8.0));
    EXPECT_TRUE(soak_rows(state.g_table).empty());
    paused.insert(paused.begin() + 15, 40, 15.5);
    set_cast(paused, flat(paused.size(), 1450.0), flat(paused.size(), 8.0));
    EXPECT_TRUE(soak_rows(state.g_table).empty());
}

TEST_F(Steps, TheRawSeaBirdCastLosesItsSoakAndThenStartsNearTheSurface)
{
    const std::string cast = formats + "seabird/19plus_V2_CTD-processing_example.cnv";
    state.steps.drop_soak = true;
    ASSERT_EQ(load_path(cast), LoadOutcome::loaded);
    const std::vector<std::int32_t> soak = left_out(Rule::soak);
    // In air to row ~100, then soaking about 2 m to row ~580, then the descent.
    ASSERT_GT(soak.size(), 500U);
    ASSERT_LT(soak.size(), 600U);
    EXPECT_EQ(soak.front(), 1);
    const std::int32_t start = soak.back() + 1;
    EXPECT_LT(*state.g_table.depth_m(start), 2.5);
    EXPECT_GT(*state.g_table.depth_m(start + 60), 10.0); // descending
    EXPECT_EQ(steps_text(steps_on_cast(state)), std::to_string(soak.size()) + " soak rows left out");
}

TEST_F(Steps, SpikesStandFarFromTheirNeighbours)
{
    // Four equal neighbours: the least sigma, 0.2 m/s, decides; a steady gradient is no spike.
    EXPECT_EQ(spike_positions(std::vector<double>{1500, 1500, 1500.39, 1500, 1500}, 0.2),
              std::vector<std::size_t>{});
    EXPECT_EQ(spike_positions(std::vector<double>{1500, 1500, 1500.41, 1500, 1500}, 0.2),
              std::vector<std::size_t>{2});
    EXPECT_EQ(spike_positions(std::vector<double>{1500, 1503, 1500, 1500, 1500, 1500}, 0.2),
              std::vector<std::size_t>{1});
    EXPECT_EQ(spike_positions(std::vector<double>{1500, 1501, 1502, 1503, 1504, 1505}, 0.2),
              std::vector<std::size_t>{});
    // The neighbours' own spread widens the band: 1500 +- 1 around a mean of 1500 allows 2 m/s.
    const auto middle_is_spike = [](double middle) {
        const std::vector<std::size_t> spikes =
            spike_positions(std::vector<double>{1500, 1499, 1501, middle, 1499, 1501, 1500}, 0.2);
        return std::ranges::find(spikes, 3U) != spikes.end();
    };
    EXPECT_FALSE(middle_is_spike(1501.9));
    EXPECT_TRUE(middle_is_spike(1502.1));
    EXPECT_TRUE(middle_is_spike(1497.9));
    EXPECT_EQ(spike_positions(std::vector<double>{1500, 1510}, 0.2), std::vector<std::size_t>{});

    // A written cast: a spike in temperature alone, another in sound speed alone.
    std::vector<double> depths;
    for (int k = 1; k <= 12; ++k) {
        depths.push_back(k);
    }
    std::vector<double> sounds = flat(12, 1480.0);
    std::vector<double> temperatures = flat(12, 10.0);
    temperatures[3] = 10.2;
    sounds[8] = 1478.0;
    set_cast(depths, sounds, temperatures);
    state.steps.despike = true;
    apply_steps(state);
    EXPECT_EQ(left_out(Rule::spike), (std::vector<std::int32_t>{4, 9}));
    const std::string csv = export_csv();
    EXPECT_EQ(csv.find("\n4,"), std::string::npos) << csv;
    EXPECT_EQ(csv.find("\n9,"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\n10,"), std::string::npos) << csv;
}

TEST_F(Steps, TheRapidSvtSpikeInItsFirstRowsIsLeftOut)
{
    state.steps.despike = true;
    ASSERT_EQ(load_path(formats + "valeport/V000007.TXT"), LoadOutcome::loaded);
    const std::vector<std::int32_t> spikes = left_out(Rule::spike);
    ASSERT_FALSE(spikes.empty());
    // -242.2 degC at 0.5 dbar is no water's temperature: out before the spikes are judged, so that
    // it takes no part in its neighbours' means.
    EXPECT_EQ(state.g_table.row_left_out(2), Rule::outside_water);
    EXPECT_EQ(spikes.front(), 4); // 16.5 degC between 21.2 and 14.2
    EXPECT_LT(spikes.size(), 12U);
}

TEST_F(Steps, BinsAverageTheirRowsAtTheirCentres)
{
    set_cast({0.2, 0.7, 1.2, 1.9, 2.4, 3.9, 3.0, 1.0}, {1480, 1482, 1484, 1486, 1488, 1490, 1470, 1400},
             {10, 10, 10, 10, 10, 10, 10, 10});
    state.steps.bin_m = 1.0;
    // The downcast only, to the deepest row: no sample of the way up.
    const Profile profile = binned_profile(state.g_table, step_columns(state), RowOrder::recorded, 1.0);
    ASSERT_EQ(profile.rows.size(), 4U);
    EXPECT_DOUBLE_EQ(profile.rows[0].depth_m, 0.5);
    EXPECT_DOUBLE_EQ(profile.rows[0].values[sound_field], 1481.0);
    EXPECT_DOUBLE_EQ(profile.rows[1].depth_m, 1.5);
    EXPECT_DOUBLE_EQ(profile.rows[1].values[sound_field], 1485.0);
    EXPECT_DOUBLE_EQ(profile.rows[2].values[sound_field], 1488.0);
    EXPECT_DOUBLE_EQ(profile.rows[3].depth_m, 3.5);
    EXPECT_DOUBLE_EQ(profile.rows[3].values[sound_field], 1490.0);
    const Profile up = binned_profile(state.g_table, step_columns(state), RowOrder::upcast, 0.5);
    ASSERT_EQ(up.rows.size(), 3U);
    EXPECT_DOUBLE_EQ(up.rows[0].depth_m, 1.25);
    EXPECT_DOUBLE_EQ(up.rows[0].values[sound_field], 1400.0);
    EXPECT_EQ(export_csv(), std::string(csv_title) + "0.5,1481,10,,\r\n1.5,1485,10,,\r\n2.5,1488,10,,\r\n"
                                                     "3.5,1490,10,,\r\n");
}

TEST_F(Steps, TheProfileEndsWithTheDeepestSampleExceptInAnSva)
{
    // The thinning takes 0.6 and 1.2 m; 1.5 m lies less than 0.5 m below.
    set_cast({0.6, 1.2, 1.5, 0.9}, {1480, 1481, 1482, 1483}, {10, 10, 10, 10});
    EXPECT_EQ(export_csv(), std::string(csv_title) + "0.6,1480,10,,\r\n1.2,1481,10,,\r\n1.5,1482,10,,\r\n");
    EXPECT_EQ(export_path(dir.file("p.csv")).steps.deepest_m, 1.5);
    export_path(dir.file("p.sva"));
    EXPECT_EQ(read_file(dir.file("p.sva")),
              ".profile  1\r\n\r\n0.6\t1480\t10\t0\t0\t\r\n1.2\t1481\t10\t0\t0\t\r\n");

    // A deepest row whose sound speed is no number is not taken: the export writes what it wrote.
    state.g_table.store_texts(3, "x 10", 2);
    EXPECT_EQ(export_csv(), std::string(csv_title) + "0.6,1480,10,,\r\n1.2,1481,10,,\r\n");
    state.g_table.store_texts(3, "1482 10", 2);

    // The upcast chosen: from the deepest row up, which ends there already.
    state.steps.cast = CastChoice::up;
    const ExportOutcome up = export_path(dir.file("p.csv"));
    EXPECT_TRUE(up.from_upcast);
    EXPECT_EQ(read_file(dir.file("p.csv")), std::string(csv_title) + "0.9,1483,10,,\r\n1.5,1482,10,,\r\n");
    EXPECT_EQ(steps_text(up.steps), "the upcast");
}

TEST_F(Steps, TheSurfaceSensorIsCheckedAtTheDraft)
{
    set_cast({1.0, 2.0, 3.0, 4.0}, {1480, 1484, 1486, 1487}, {10, 10, 10, 10});
    state.steps.surface = SurfaceSensor{1484.0, 1.5}; // the profile gives 1482 there
    std::vector<Question> asked;
    controls.answer = [&](const Question& question) {
        if (question.doubts.empty() || !std::holds_alternative<SurfaceSoundApart>(question.doubts[0])) {
            return true;
        }
        asked.push_back(question);
        return false;
    };
    ExportOutcome within = export_path(dir.file("p.csv"));
    EXPECT_TRUE(within.written);
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(steps_text(within.steps), "surface sound speed 1482 m/s at 1.5 m against the sensor's 1484");

    state.steps.surface = SurfaceSensor{1484.01, 1.5};
    EXPECT_FALSE(export_path(dir.file("q.csv")).written);
    ASSERT_EQ(asked.size(), 1U);
    EXPECT_EQ(question_text(asked[0]),
              "At the transducer's draft of 1.5 m the profile gives 1482 m/s, but its "
              "sensor measures 1484.01 m/s: more than 2 m/s apart. Export them?");

    Profile profile;
    EXPECT_FALSE(sound_at(profile, 1.0));
    profile.rows = {ProfileRow{1, 2.0, {1490, 0, 0, 0}}, ProfileRow{2, 6.0, {1494, 0, 0, 0}}};
    EXPECT_EQ(sound_at(profile, 0.5), 1490.0);
    EXPECT_EQ(sound_at(profile, 3.0), 1491.0);
    EXPECT_EQ(sound_at(profile, 9.0), 1494.0);
}

} // namespace
} // namespace quillonde
