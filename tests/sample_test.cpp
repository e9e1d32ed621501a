// The typed cast: a table keeps each field as the file writes it and gives its value, in the
// program's unit, when it is asked for; rules leave samples and rows out of the profile.
#include "depth/formulas.h"
#include "profile/profile_rows.h"
#include "profile/table.h"
#include "profile/water_ranges.h"
#include "runtime/convert.h"

#include "error_matchers.h"

#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace quillonde {
namespace {

double parsed(std::string_view text, int power = 0)
{
    double value = -1.0;
    EXPECT_EQ(parse_scaled(text, power, value), NumberStatus::ok) << text;
    return value;
}

// A scale by a power of ten moves the decimal point of the text: the value is the double nearest
// the scaled decimal, as if the file had written it so; an exponent moves as the point does.
TEST(ParseScaled, MovesThePointSoTheValueIsRoundedOnce)
{
    EXPECT_EQ(parsed("4.468541", 1), parsed("44.68541"));
    EXPECT_EQ(parsed("0.1", 1), 1.0);
    EXPECT_EQ(parsed("35000.00", -3), 35.0);
    EXPECT_EQ(parsed("44816.995840319119", -3), parsed("44.816995840319119"));
    EXPECT_EQ(parsed("-3.7", 1), -37.0);
    EXPECT_EQ(parsed("2.5e-3", 1), parsed("0.025"));
    EXPECT_EQ(parsed("1E2", -3), 0.1);
    EXPECT_EQ(parsed(" 12 ", 1), 120.0);
    const std::string long_digits = "0." + std::string(90, '3');
    EXPECT_NEAR(parsed(long_digits, 1), 10.0 / 3.0, 1e-14);
    // Texts of more digits than a double holds exactly are rounded once, as from_chars rounds them.
    std::mt19937 random(28);
    for (int k = 0; k < 2000; ++k) {
        std::string text = std::to_string(random() % 100000) + "." + std::to_string(random()) +
                           std::to_string(random() % 1000000);
        double expected = 0.0;
        std::from_chars(text.data(), text.data() + text.size(), expected);
        EXPECT_EQ(parsed(text), expected) << text;
    }
    // The plain decimals of measured values take a shorter way to the same double, which from_chars
    // gives; every other text is left to the full way.
    for (int k = 0; k < 20000; ++k) {
        std::string digits = std::to_string(random()) + std::to_string(random());
        digits.resize(1 + random() % 15);
        if (random() % 4 != 0) {
            digits.insert(random() % (digits.size() + 1), ".");
        }
        const std::string text = (random() % 3 == 0 ? "-" : "") + digits;
        const int power = static_cast<int>(random() % 7) - 3;
        double plain = 0.0;
        double full = 0.0;
        const std::string scaled = text + "e" + std::to_string(power);
        std::from_chars(scaled.data(), scaled.data() + scaled.size(), full);
        ASSERT_TRUE(parse_plain_decimal(text, power, plain)) << text;
        EXPECT_EQ(plain, full) << text << " at " << power;
    }
    for (const std::string_view other :
         {"", "-", ".", "-.", "1.2.3", "+1", " 1", "1 ", "1e2", "1234567890123456", "0x10", "1,5"}) {
        double untouched = 7.0;
        EXPECT_FALSE(parse_plain_decimal(other, 0, untouched)) << other;
        EXPECT_EQ(untouched, 7.0);
    }
    EXPECT_EQ(parsed("1234567890123456"), 1234567890123456.0);
    double value = 7.0;
    EXPECT_EQ(parse_scaled("1,5", 1, value), NumberStatus::not_a_number);
    EXPECT_EQ(parse_scaled("1e400", -3, value), NumberStatus::out_of_range);
    EXPECT_EQ(value, 7.0);
}

Sample sample_of(const ValueRule& rule, std::string_view text)
{
    return rule.sample_of(text);
}

// Each scale to the program's unit, the offset after it; a text that is empty, "NaN" or the
// file's mark is missing; any other text that is no number keeps its text for the message.
TEST(ValueRule, GivesEachTextsValueInTheProgramsUnit)
{
    struct Case {
        ValueRule rule;
        std::string_view text;
        double value;
    };
    const Case cases[] = {
        {{}, "1490.25", 1490.25},
        {{Scale::times_10}, "4.468541", parsed("44.68541")},
        {{Scale::per_1000}, "44817", 44.817},
        {{Scale::psi}, "14.504", 14.504 * 0.6894757293168361},
        {{Scale::celsius}, "50", 10.0},
        {{Scale::feet}, "10", 3.048},
        {{Scale::minus, 10.1325}, "12.9325", 12.9325 - 10.1325},
        {{Scale::psi, 10.0}, "100", 100 * 0.6894757293168361 - 10.0},
    };
    for (const Case& c : cases) {
        const Sample sample = sample_of(c.rule, c.text);
        EXPECT_EQ(sample.flag, SampleFlag::good) << c.text;
        EXPECT_EQ(sample.value, c.value) << c.text;
        EXPECT_EQ(sample.text, c.text);
    }
    ValueRule marked;
    marked.missing_mark = -9.990e-29;
    for (const std::string_view missing : {"", "NaN", "nan", "-9.99e-29", "-9.9900001e-29"}) {
        EXPECT_EQ(sample_of(marked, missing).flag, SampleFlag::missing) << missing;
    }
    EXPECT_EQ(sample_of(marked, "-9.98e-29").flag, SampleFlag::good);
    EXPECT_EQ(sample_of(marked, "0").flag, SampleFlag::good); // 0 is a value, not the mark
    marked.scale = Scale::times_10;
    EXPECT_EQ(sample_of(marked, "-9.990e-29").flag, SampleFlag::missing); // the file's number, unscaled
    for (const std::string_view text : {"10,5", "abc", "1.2.3", "1e999"}) {
        const Sample sample = sample_of({}, text);
        EXPECT_EQ(sample.flag, SampleFlag::not_a_number) << text;
        EXPECT_EQ(sample.text, text);
    }
    EXPECT_EQ(sample_of({Scale::text}, "2019").flag, SampleFlag::not_a_number); // a column of texts
}

/// A table of appended rows "Press Cond SALIN" with conductivity in S/m, depths as given.
ProfileTable appended_table(const std::vector<std::array<std::string_view, 3>>& rows,
                            const std::vector<double>& depths)
{
    ProfileTable table;
    table.start_rows(3);
    ValueRule conductivity{Scale::times_10};
    conductivity.missing_mark = -9.99e-29;
    table.set_rules({{}, conductivity, {}});
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const std::int32_t row = table.append_row(rows[k]);
        table.store_depth(row, depths[k]);
    }
    return table;
}

// The cell shows the file's text; the sample its value by the column's rule, or why it has none;
// a rule's flag shows on every sample of the row and leaves the row out of what a profile takes.
TEST(TypedCast, SamplesReadThroughTheColumnsRule)
{
    ProfileTable table = appended_table({{"1.0", "4.468541", "35.1"},
                                         {"2.0", "-9.990e-29", "35.2"},
                                         {"3.0", "4.5", "10,5"},
                                         {"4.0", "4.6", ""}},
                                        {1.0, 2.0, 3.0, 4.0});
    EXPECT_EQ(table.cell(1, 1).as_text(), "4.468541");
    EXPECT_EQ(table.sample(1, 1).value, parsed("44.68541"));
    EXPECT_EQ(table.sample(1, 2).flag, SampleFlag::missing);
    EXPECT_EQ(table.sample(2, 3).flag, SampleFlag::not_a_number);
    EXPECT_EQ(table.sample(2, 3).text, "10,5");
    EXPECT_EQ(table.sample(2, 4).flag, SampleFlag::missing);
    EXPECT_EQ(table.sample(3, 2).value, 2.0); // the depth column
    EXPECT_EQ(profile_value("SALIN", table.sample(2, 1)), 35.1);
    EXPECT_EQ(testing::error_of([&] { profile_value("SALIN", table.sample(2, 3)); }).detail(),
              "SALIN \"10,5\" is not a number");

    table.leave_out_row(1, Rule::file_flag);
    table.leave_out_sample(2, 2, Rule::file_flag);
    EXPECT_EQ(table.sample(1, 1).flag, SampleFlag::left_out);
    EXPECT_EQ(table.sample(1, 1).value, parsed("44.68541")); // still drawn where it lies
    EXPECT_EQ(table.sample(2, 2).flag, SampleFlag::left_out);
    EXPECT_EQ(table.sample(0, 2).flag, SampleFlag::good); // only that sample of row 2
    EXPECT_EQ(table.row_left_out(1), Rule::file_flag);
    EXPECT_EQ(table.row_left_out(2), std::nullopt);
    EXPECT_FALSE(table.row_usable(1));
    EXPECT_TRUE(table.row_usable(2));
    EXPECT_EQ(table.rows_left_out(), (std::map<Rule, std::int32_t>{{Rule::file_flag, 1}}));
    std::vector<SampleFlag> walked;
    table.for_each_sample(2, [&](std::int32_t, const Sample& sample) { walked.push_back(sample.flag); });
    EXPECT_EQ(walked, (std::vector<SampleFlag>{SampleFlag::left_out, SampleFlag::left_out,
                                               SampleFlag::not_a_number, SampleFlag::missing}));
    walked.clear();
    table.for_each_sample(2, [&](std::int32_t, const Sample& sample) {
        walked.push_back(sample.flag);
        return false;
    });
    EXPECT_EQ(walked.size(), 1U);
    // Several columns in one walk: row by row, in the order asked.
    std::vector<std::string> seen;
    table.for_each_row_samples(std::array{2, 0}, [&](std::int32_t row, std::size_t k, const Sample& sample) {
        seen.push_back(std::to_string(row) + ":" + std::to_string(k) + ":" + std::string(sample.text) + ":" +
                       std::to_string(static_cast<int>(sample.flag)));
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"1:0:35.1:3", "1:1:1.0:3", "2:0:35.2:3", "2:1:2.0:0",
                                              "3:0:10,5:2", "3:1:3.0:0", "4:0::1", "4:1:4.0:0"}));
    EXPECT_EQ(testing::error_of([&] { profile_value("Cond", table.sample(1, 1)); }).detail(),
              "Cond \"4.468541\" is left out: marked bad by the file's flag column");
}

/// The rows a walk in `order` takes, and whether the cast counts as recorded upward.
std::vector<std::int32_t> rows_taken(const ProfileTable& table, RowOrder order)
{
    std::vector<std::int32_t> rows;
    for_each_profile_row(table, 3, order,
                         [&](std::int32_t row, double, const std::string&) { rows.push_back(row); });
    return rows;
}

// A row a rule leaves out is no part of the profile, nor of finding the deepest row, nor of telling
// a downcast from an upcast.
TEST(TypedCast, ARowLeftOutTakesNoPartInTheProfile)
{
    const std::array<std::string_view, 3> fields{"1", "4", "35"};
    ProfileTable down = appended_table({fields, fields, fields, fields}, {1.0, 2.0, 3.0, 4.0});
    down.leave_out_row(2, Rule::file_flag);
    EXPECT_EQ(rows_taken(down, RowOrder::recorded), (std::vector<std::int32_t>{1, 3, 4}));
    EXPECT_EQ(rows_taken(down, RowOrder::given), (std::vector<std::int32_t>{1, 3, 4}));

    // An upcast whose one deep scan is marked bad: without it the cast rises.
    ProfileTable up = appended_table({fields, fields, fields, fields, fields}, {3.0, 9.0, 2.0, 1.2, 0.6});
    EXPECT_FALSE(recorded_upward(up, 3));
    EXPECT_EQ(rows_taken(up, RowOrder::upcast), (std::vector<std::int32_t>{5, 4, 3, 2}));
    up.leave_out_row(2, Rule::file_flag);
    EXPECT_TRUE(recorded_upward(up, 3));
    EXPECT_EQ(rows_taken(up, RowOrder::upcast), (std::vector<std::int32_t>{5, 4, 3, 1}));
}

// Whether the median lies beyond a limit, from one walk: the two middle values on one side of it,
// or straddling it, where their mean decides; the median itself agrees.
TEST(TypedCast, TheMediansSideOfALimitWithoutSorting)
{
    const auto table_of = [](const std::vector<std::string_view>& salinities) {
        std::vector<std::array<std::string_view, 3>> rows;
        std::vector<double> depths;
        for (const std::string_view salinity : salinities) {
            rows.push_back({"1", "4", salinity});
            depths.push_back(1.0);
        }
        return appended_table(rows, depths);
    };
    struct Case {
        std::vector<std::string_view> salinities;
        double limit;
        bool below;
        std::optional<bool> beyond;
    };
    const Case cases[] = {
        {{"0.1", "0.2", "9"}, 0.5, true, true},
        {{"0.1", "9", "9"}, 0.5, true, false},
        {{"0.4", "0.55", "9", "0"}, 0.5, true, true}, // mean 0.475 of 0.4 and 0.55
        {{"0.4", "0.7", "9", "0"}, 0.5, true, false},
        {{"0.2", "0.7", "9", "0"}, 0.5, true, true},    // mean 0.45
        {{"0.25", "0.75", "9", "0"}, 0.5, true, false}, // mean 0.5, not below
        {{"4", "6", "0", "10"}, 5.0, false, false},     // mean 5, not above
        {{"4", "7", "0", "10"}, 5.0, false, true},
        {{"5", "5", "5"}, 5.0, false, false},
        {{"6", "abc", "", "9"}, 5.0, false, true}, // the good ones only: 6 and 9
        {{"6", "abc", "", "1"}, 5.0, false, false},
        {{"abc", ""}, 5.0, false, std::nullopt},
    };
    for (const Case& c : cases) {
        const ProfileTable table = table_of(c.salinities);
        EXPECT_EQ(median_beyond(table, 2, c.limit, c.below), c.beyond) << c.salinities.front() << c.limit;
        if (const std::optional<double> median = column_median(table, 2)) {
            EXPECT_EQ(c.below ? *median < c.limit : *median > c.limit, c.beyond.value());
        }
    }
}

// The depth of a row is kept as computed; the rows are thinned by it to 2 decimals, exactly as
// fresh_con and salt_con round it, and a depth the file gives is taken as given.
TEST(TypedCast, DepthsKeptUnroundedAndThinnedAsTheFormulasRound)
{
    for (const double pressure : {0.0, 0.5, 6.0, 123.456, 5000.0, 1.0e7}) {
        EXPECT_EQ(round_to(Water({}).exact_depth_m(pressure), 2), fresh_con(pressure));
        for (const std::int32_t latitude : {0, -33, 50, 90}) {
            EXPECT_EQ(round_to(Water({true, latitude}).exact_depth_m(pressure), 2),
                      salt_con(latitude, pressure));
        }
    }
    EXPECT_THROW(Water({}).exact_depth_m(1.79e308), Error);
    EXPECT_THROW(Water({true, 54}).exact_depth_m(1e100), Error);

    ProfileTable table;
    table.start_rows(1);
    const std::array<std::string_view, 1> fields{"6.000"};
    table.store_computed_depth(table.append_row(fields), Water({true, 50}).exact_depth_m(6.0));
    EXPECT_NEAR(*table.exact_depth_m(1), 5.9485, 5e-5);
    EXPECT_EQ(*table.depth_m(1), 5.95);
    EXPECT_EQ(table.cell(1, 1).as_number(), 5.95);
    table.store_depth(1, 5.9485);
    EXPECT_EQ(*table.depth_m(1), 5.9485);
}

// TEOS-10 (gsw_SP_from_C, gsw_C_from_SP) takes ITS-90 temperatures: 32.046167013 for the first row,
// 53.282082106 mS/cm for salinity 35 at 25 degC and 500 dbar.
TEST(TypedCast, ComputedFieldsOfITS90TemperaturesAgreeWithTEOS10)
{
    ProfileTable table; // Press Temp Cond SALIN
    table.start_rows(4);
    table.set_rules({});
    const std::array<std::array<std::string_view, 4>, 2> rows = {
        {{"3.995", "28.9682", "52.94085", "35"}, {"500", "25", "53.28208210638632", "35"}}};
    for (std::size_t k = 0; k < rows.size(); ++k) {
        table.store_depth(table.append_row(rows[k]), static_cast<double>(k + 1));
    }
    const auto computed = [&](std::size_t field, TemperatureScale scale) {
        ProfileColumns columns;
        columns.fields = {absent_field, 1, field == salinity_field ? derived_field : 3,
                          field == conductivity_field ? derived_field : 2};
        columns.pressure = 0;
        columns.temperature_scale = scale;
        const Profile profile = thinned_profile(table, 4, columns);
        return std::array<double, 2>{profile.rows.at(0).values[field], profile.rows.at(1).values[field]};
    };
    EXPECT_NEAR(computed(salinity_field, TemperatureScale::its90)[0], 32.046167013, 1e-6);
    EXPECT_NEAR(computed(conductivity_field, TemperatureScale::its90)[1], 53.282082106, 1e-6);
    // IPTS-68, and a scale not stated, are taken as they stand: 0.005 apart here (gsw_SP_from_C of
    // T / 1.00024).
    EXPECT_NEAR(computed(salinity_field, TemperatureScale::ipts68)[0], 32.050823641, 1e-6);
    EXPECT_EQ(computed(salinity_field, TemperatureScale::unstated),
              computed(salinity_field, TemperatureScale::ipts68));
}

// Each range takes its ends; the next number beyond either end, and what is no number, are no water.
TEST(TypedCast, WaterRangesHoldTheirEndsOnly)
{
    for (const WaterRange& range : water_ranges) {
        SCOPED_TRACE(range.quantity);
        EXPECT_TRUE(range.contains(range.lowest));
        EXPECT_TRUE(range.contains(range.highest));
        EXPECT_FALSE(range.contains(std::nextafter(range.lowest, -1e9)));
        EXPECT_FALSE(range.contains(std::nextafter(range.highest, 1e9)));
        EXPECT_FALSE(range.contains(std::nan("")));
        EXPECT_TRUE(range.contains(0.0) || range.quantity == "sound speed");
    }
}

// A long cast's median is found in two halves at once: the low values of one half and the high
// ones of the other meet in the middle, and its side of limits about it is column_median's.
TEST(TypedCast, ALongCastsMedianSideFromBothHalves)
{
    constexpr std::int32_t rows = 70'000;
    for (const bool lows_first : {false, true}) {
        ProfileTable table;
        table.start_rows(1);
        table.set_rules({{}});
        std::vector<std::string> texts;
        for (std::int32_t row = 1; row <= rows; ++row) {
            const bool low = (row <= rows / 2) == lows_first;
            texts.push_back((low ? "-10." : "20.") + std::to_string(10000 + row % 10000));
            const std::array<std::string_view, 1> fields{texts.back()};
            table.append_row(fields);
        }
        const double median = column_median(table, 0).value();
        for (const double limit :
             {median, std::nextafter(median, -99.0), std::nextafter(median, 99.0), 21.0}) {
            for (const bool below : {true, false}) {
                EXPECT_EQ(median_beyond(table, 0, limit, below), below ? median < limit : median > limit)
                    << limit << (below ? " below" : " above") << (lows_first ? ", lows first" : "");
            }
        }
    }
}

// A long cast is looked at in two halves at once: every sample outside water is found, in row order,
// on either side of the halves' border, and a row with two of them is left out once.
TEST(TypedCast, ALongCastsSamplesOutsideWaterAreFoundInBothHalves)
{
    constexpr std::int32_t rows = 70'001; // enough rows for a second thread
    constexpr std::int32_t half = rows / 2;
    ProfileTable table;
    table.start_rows(2);
    table.set_rules({{}, {}});
    for (std::int32_t row = 1; row <= rows; ++row) {
        const bool outside = row == 1 || row == 20 || row == half || row == half + 1 || row == rows;
        const std::array<std::string_view, 2> fields{row == half + 1 ? "99999" : "10", outside ? "99" : "10"};
        table.append_row(fields);
    }
    table.leave_out_row(20, Rule::file_flag);                    // a row left out already is not looked at
    const std::array<RangedColumn, 2> columns{{{1, 1}, {0, 4}}}; // temperature, then pressure
    const OutsideWaterFound found = leave_out_outside_water(table, columns);
    std::vector<std::pair<std::int32_t, double>> samples;
    for (const OutsideWater& sample : found.samples) {
        samples.emplace_back(sample.row, sample.value);
    }
    EXPECT_EQ(samples, (std::vector<std::pair<std::int32_t, double>>{
                           {1, 99.0}, {half, 99.0}, {half + 1, 99.0}, {half + 1, 99999.0}, {rows, 99.0}}));
    EXPECT_EQ(found.rows, 4);
    EXPECT_EQ(table.rows_left_out(),
              (std::map<Rule, std::int32_t>{{Rule::file_flag, 1}, {Rule::outside_water, 4}}));
}

// A long cast's texts fill blocks of the largest size, each made while the one before is filled;
// a line longer than such a block gets one of its own, and the block made for what follows is kept
// for the rows after it. Every row keeps its text, and so does a table loaded again.
TEST(TypedCast, EveryRowKeepsItsTextAcrossTheBlocksOfALongCast)
{
    const auto text_of = [](std::size_t k, std::size_t size) {
        std::string text(size, static_cast<char>('a' + k % 26));
        text.replace(0, std::to_string(k).size(), std::to_string(k));
        return text;
    };
    constexpr std::size_t rows = 14'000;
    constexpr std::size_t long_row = 9'000;
    const auto size_of = [](std::size_t k) {
        return k == long_row ? std::size_t{20} << 20 : 3000 + k % 2000;
    };
    ProfileTable table;
    for (int load = 0; load < 2; ++load) {
        table.start_rows(1);
        for (std::size_t k = 0; k < rows; ++k) {
            const std::string text = text_of(k, size_of(k));
            const std::array<std::string_view, 1> fields{text};
            table.append_row(fields);
        }
        for (std::size_t k = 0; k < rows; ++k) {
            const std::string stored(table.cell(0, static_cast<std::int32_t>(k + 1)).as_text());
            if (stored != text_of(k, size_of(k))) {
                ADD_FAILURE() << "row " << k + 1 << " of load " << load << " holds \"" << stored.substr(0, 12)
                              << "...\" of " << stored.size() << " bytes";
                break;
            }
        }
    }
}

} // namespace
} // namespace quillonde
