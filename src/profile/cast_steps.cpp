#include "profile/cast_steps.h"

#include "runtime/error.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

namespace quillonde {

namespace {

struct TracePoint {
    std::int32_t row;
    double depth_m;
};

/// The usable rows of `table` with their depths, in row order.
std::vector<TracePoint> depth_trace(const ProfileTable& table, const std::function<bool()>& keep_going = {})
{
    std::vector<TracePoint> trace;
    table.last_row(); // a table without shape fails here
    table.for_each_usable_depth(
        1,
        [&](std::int32_t row, double depth_m) {
            trace.push_back({row, depth_m});
        },
        stop_check(keep_going));
    return trace;
}

/// The position in `trace` of its first deepest point; `trace` is not empty.
std::size_t deepest_point(const std::vector<TracePoint>& trace)
{
    std::size_t deepest = 0;
    for (std::size_t k = 1; k < trace.size(); ++k) {
        if (trace[k].depth_m > trace[deepest].depth_m) {
            deepest = k;
        }
    }
    return deepest;
}

} // namespace

std::vector<std::int32_t> soak_rows(const ProfileTable& table)
{
    const std::vector<TracePoint> trace = depth_trace(table);
    if (trace.empty()) {
        return {};
    }
    const std::size_t deepest = deepest_point(trace);
    std::map<double, std::int32_t> rows_in_band;
    std::int32_t walked = 0;
    for (std::size_t k = deepest + 1; k-- > 0;) {
        const double depth_m = trace[k].depth_m;
        const std::int32_t in_band = ++rows_in_band[std::floor(depth_m / soak_band_m)];
        ++walked;
        if (!(depth_m < soak_deepest_m) || in_band < soak_least_rows || rows_in_band.size() < 2) {
            continue;
        }
        const double passed_per_band =
            static_cast<double>(walked - in_band) / static_cast<double>(rows_in_band.size() - 1);
        if (static_cast<double>(in_band) > soak_linger_factor * passed_per_band) {
            // The latest of the shallowest rows after the hanging starts the descent.
            std::size_t start = k;
            for (std::size_t later = k; later <= deepest; ++later) {
                if (!(trace[later].depth_m > trace[start].depth_m)) {
                    start = later;
                }
            }
            std::vector<std::int32_t> rows;
            rows.reserve(start);
            for (std::size_t before = 0; before < start; ++before) {
                rows.push_back(trace[before].row);
            }
            return rows;
        }
    }
    return {};
}

std::vector<std::size_t> spike_positions(std::span<const double> values, double least_sigma)
{
    std::vector<std::size_t> spikes;
    // The first and last values have no neighbour on one side: a steady gradient would make them
    // spikes.
    for (std::size_t k = 1; k + 1 < values.size(); ++k) {
        const std::size_t first = k < spike_neighbours ? 0 : k - spike_neighbours;
        const std::size_t last = std::min(values.size() - 1, k + spike_neighbours);
        double sum = 0.0;
        std::size_t count = 0;
        for (std::size_t n = first; n <= last; ++n) {
            if (n != k) {
                sum += values[n];
                ++count;
            }
        }
        const double mean = sum / static_cast<double>(count);
        double squares = 0.0;
        for (std::size_t n = first; n <= last; ++n) {
            if (n != k) {
                squares += (values[n] - mean) * (values[n] - mean);
            }
        }
        const double sigma = std::max(std::sqrt(squares / static_cast<double>(count)), least_sigma);
        if (std::fabs(values[k] - mean) > spike_sigmas * sigma) {
            spikes.push_back(k);
        }
    }
    return spikes;
}

std::vector<std::int32_t> spike_rows(const ProfileTable& table, const ProfileColumns& columns)
{
    std::vector<std::int32_t> rows;
    std::vector<double> sounds;
    std::vector<double> temperatures;
    const bool has_temperature = columns.fields[temperature_field] != absent_field;
    DerivedNotes notes;
    for (const TracePoint& point : depth_trace(table)) {
        try {
            const ProfileRow line = profile_row(table, columns, point.row, notes);
            rows.push_back(point.row);
            sounds.push_back(line.values[sound_field]);
            temperatures.push_back(line.values[temperature_field]);
        } catch (const Error&) {
            // a row whose values are no numbers: the export names it
        }
    }
    std::vector<std::size_t> spikes = spike_positions(sounds, spike_least_sigma_sound_m_s);
    if (has_temperature) {
        const std::vector<std::size_t> warm = spike_positions(temperatures, spike_least_sigma_temperature_c);
        spikes.insert(spikes.end(), warm.begin(), warm.end());
        std::ranges::sort(spikes);
        spikes.erase(std::unique(spikes.begin(), spikes.end()), spikes.end());
    }
    std::vector<std::int32_t> spike_rows;
    spike_rows.reserve(spikes.size());
    for (const std::size_t k : spikes) {
        spike_rows.push_back(rows[k]);
    }
    return spike_rows;
}

Profile binned_profile(const ProfileTable& table, const ProfileColumns& columns, RowOrder order, double bin_m,
                       const std::function<bool()>& keep_going)
{
    Profile profile;
    for (std::size_t f = 0; f < profile_fields.size(); ++f) {
        profile.given[f] = columns.fields[f] != absent_field;
    }
    const std::vector<TracePoint> trace = depth_trace(table, keep_going);
    if (trace.empty() || !(bin_m > 0.0)) {
        return profile;
    }
    const std::size_t deepest = deepest_point(trace);
    const std::size_t first = order == RowOrder::upcast ? deepest : 0;
    const std::size_t last = order == RowOrder::recorded ? deepest : trace.size() - 1;
    struct Bin {
        std::int32_t first_row = 0;
        std::int32_t rows = 0;
        std::array<double, profile_fields.size()> sums{};
    };
    std::map<double, Bin> bins;
    for (std::size_t k = first; k <= last; ++k) {
        if (trace[k].depth_m < 0.0) {
            continue;
        }
        const ProfileRow line = profile_row(table, columns, trace[k].row, profile.notes);
        Bin& bin = bins[std::floor(trace[k].depth_m / bin_m)];
        if (bin.rows++ == 0) {
            bin.first_row = trace[k].row;
        }
        for (std::size_t f = 0; f < profile_fields.size(); ++f) {
            bin.sums[f] += line.values[f];
        }
    }
    for (const auto& [index, bin] : bins) {
        ProfileRow line;
        line.table_row = bin.first_row;
        line.depth_m = (index + 0.5) * bin_m;
        line.exact_depth_m = line.depth_m;
        for (std::size_t f = 0; f < profile_fields.size(); ++f) {
            line.values[f] = bin.sums[f] / bin.rows;
        }
        profile.rows.push_back(line);
    }
    return profile;
}

bool end_at_deepest(Profile& profile, const ProfileTable& table, const ProfileColumns& columns)
{
    if (profile.rows.empty()) {
        return false;
    }
    const std::vector<TracePoint> trace = depth_trace(table);
    const TracePoint& deepest = trace[deepest_point(trace)];
    if (!(deepest.depth_m > profile.rows.back().depth_m)) {
        return false;
    }
    try {
        profile.rows.push_back(profile_row(table, columns, deepest.row, profile.notes));
    } catch (const Error&) {
        return false; // a sample that is no number is no deepest sample to take
    }
    return true;
}

std::optional<double> sound_at(const Profile& profile, double depth_m)
{
    const std::vector<ProfileRow>& rows = profile.rows;
    if (rows.empty()) {
        return std::nullopt;
    }
    if (!(depth_m > rows.front().depth_m)) {
        return rows.front().values[sound_field];
    }
    for (std::size_t k = 1; k < rows.size(); ++k) {
        const ProfileRow& above = rows[k - 1];
        const ProfileRow& below = rows[k];
        if (!(depth_m > below.depth_m)) {
            const double share = (depth_m - above.depth_m) / (below.depth_m - above.depth_m);
            return above.values[sound_field] +
                   share * (below.values[sound_field] - above.values[sound_field]);
        }
    }
    return rows.back().values[sound_field];
}

} // namespace quillonde
