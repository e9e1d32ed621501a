#include "plot/cast_series.h"

#include "runtime/convert.h"

#include <cmath>
#include <exception>
#include <functional>
#include <thread>

namespace quillonde {

namespace {

SeriesExtent merged(const SeriesExtent& a, const SeriesExtent& b, bool b_starts_run)
{
    return {std::min(a.depth_low, b.depth_low), std::max(a.depth_high, b.depth_high),
            std::min(a.value_low, b.value_low), std::max(a.value_high, b.value_high),
            a.joined && b.joined && !b_starts_run};
}

} // namespace

/// The rows from `first_row` to `last_row`: each column's points as if the cast began there, to be
/// joined to the parts before.
struct SeriesReader::Part {
    std::int32_t first_row = 1;
    std::int32_t last_row = 0;
    std::vector<CastSeries> columns;
    std::vector<bool> broken_at_end; ///< by column: a row left out follows the part's last point
    std::int32_t deepest_row = 0;
    double deepest_m = 0.0;
    std::exception_ptr failure;
};

SeriesReader::SeriesReader(const ProfileTable& table, std::vector<std::int32_t> columns,
                           std::int32_t depth_column)
    : table_(table), columns_(std::move(columns)), depth_column_(depth_column),
      last_row_(table.has_shape() ? table.last_row() : 0)
{
}

SeriesReader::~SeriesReader() = default;

void SeriesReader::read_part(Part& part) const
{
    part.columns.resize(columns_.size());
    part.broken_at_end.assign(columns_.size(), false);
    for (CastSeries& series : part.columns) {
        const auto rows = static_cast<std::size_t>(part.last_row - part.first_row + 1);
        series.rows_.reserve(rows);
        series.depth_m_.reserve(rows);
        series.values_.reserve(rows);
        series.run_starts_.reserve(rows);
    }
    for (std::int32_t row = part.first_row; row <= part.last_row; ++row) {
        const std::optional<double> depth = table_.depth_m(row);
        if (!depth) {
            // A row number that no data line carried is no gap in the cast; a stored row without a
            // depth is.
            if (!table_.cell(0, row).is_empty()) {
                part.broken_at_end.assign(columns_.size(), true);
            }
            continue;
        }
        const double depth_m = *depth;
        if ((part.deepest_row == 0 || depth_m > part.deepest_m) && !table_.row_left_out(row)) {
            part.deepest_row = row;
            part.deepest_m = depth_m;
        }
        for (std::size_t c = 0; c < columns_.size(); ++c) {
            CastSeries& series = part.columns[c];
            const Sample sample = table_.sample(columns_[c], row);
            if (!sample.good()) {
                if (sample.flag == SampleFlag::left_out) {
                    series.left_out_.push_back({row, depth_m, sample.value, sample.rule});
                } else {
                    ++series.no_number_;
                }
                part.broken_at_end[c] = true;
                continue;
            }
            series.rows_.push_back(row);
            series.depth_m_.push_back(depth_m);
            series.values_.push_back(sample.value);
            series.run_starts_.push_back(part.broken_at_end[c] ? 1 : 0);
            part.broken_at_end[c] = false;
        }
    }
}

bool SeriesReader::read_more(std::int32_t rows)
{
    if (next_row_ > last_row_) {
        return false;
    }
    Part& part = parts_.emplace_back();
    part.first_row = next_row_;
    part.last_row =
        static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{next_row_} + rows - 1, last_row_));
    next_row_ = part.last_row + 1;
    read_part(part);
    return next_row_ <= last_row_;
}

void SeriesReader::read_rest()
{
    // A million rows take a tenth of a second a column on one core: the rest goes to threads.
    const std::int32_t rest = last_row_ - next_row_ + 1;
    if (rest <= 0) {
        return;
    }
    const auto cores = static_cast<std::int32_t>(std::clamp(std::thread::hardware_concurrency(), 1U, 4U));
    const std::int32_t count = rest < 100'000 ? 1 : cores;
    const std::size_t first = parts_.size();
    for (std::int32_t k = 0; k < count; ++k) {
        Part& part = parts_.emplace_back();
        part.first_row = next_row_ + static_cast<std::int32_t>(std::int64_t{rest} * k / count);
        part.last_row = next_row_ + static_cast<std::int32_t>(std::int64_t{rest} * (k + 1) / count) - 1;
    }
    next_row_ = last_row_ + 1;
    const auto run = [this](Part& part) {
        try {
            read_part(part);
        } catch (...) {
            part.failure = std::current_exception();
        }
    };
    std::vector<std::thread> threads;
    for (std::size_t k = first + 1; k < parts_.size(); ++k) {
        threads.emplace_back(run, std::ref(parts_[k]));
    }
    run(parts_[first]);
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (const Part& part : parts_) {
        if (part.failure) {
            std::rethrow_exception(part.failure);
        }
    }
}

std::vector<CastSeries> SeriesReader::finish()
{
    std::int32_t deepest_row = 0;
    double deepest_m = 0.0;
    for (const Part& part : parts_) {
        if (part.deepest_row != 0 && (deepest_row == 0 || part.deepest_m > deepest_m)) {
            deepest_row = part.deepest_row;
            deepest_m = part.deepest_m;
        }
    }
    std::vector<CastSeries> result(columns_.size());
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        CastSeries& joined = result[c];
        bool broken = false;
        for (Part& part : parts_) {
            CastSeries& next = part.columns[c];
            if (!next.run_starts_.empty() && broken) {
                next.run_starts_.front() = 1;
            }
            broken = next.rows_.empty() ? broken || part.broken_at_end[c] : part.broken_at_end[c];
            const std::int32_t no_number = joined.no_number_ + next.no_number_;
            std::vector<LeftOutPoint> left_out = std::move(joined.left_out_);
            left_out.insert(left_out.end(), next.left_out_.begin(), next.left_out_.end());
            if (joined.rows_.empty()) {
                joined = std::move(next);
            } else {
                joined.rows_.insert(joined.rows_.end(), next.rows_.begin(), next.rows_.end());
                joined.depth_m_.insert(joined.depth_m_.end(), next.depth_m_.begin(), next.depth_m_.end());
                joined.values_.insert(joined.values_.end(), next.values_.begin(), next.values_.end());
                joined.run_starts_.insert(joined.run_starts_.end(), next.run_starts_.begin(),
                                          next.run_starts_.end());
            }
            joined.left_out_ = std::move(left_out);
            joined.no_number_ = no_number;
            next = CastSeries();
        }
        joined.downcast_end_ = static_cast<std::size_t>(
            std::upper_bound(joined.rows_.begin(), joined.rows_.end(), deepest_row) - joined.rows_.begin());
        joined.build_pyramid();
    }
    parts_.clear();
    return result;
}

std::vector<CastSeries> CastSeries::read(const ProfileTable& table, const std::vector<std::int32_t>& columns,
                                         std::int32_t depth_column)
{
    SeriesReader reader(table, columns, depth_column);
    reader.read_rest();
    return reader.finish();
}

SeriesExtent CastSeries::extent_of(std::size_t first, std::size_t last) const
{
    SeriesExtent extent{depth_m_[first], depth_m_[first], values_[first], values_[first], true};
    for (std::size_t i = first + 1; i < last; ++i) {
        extent = merged(extent, {depth_m_[i], depth_m_[i], values_[i], values_[i], true}, starts_run(i));
    }
    return extent;
}

void CastSeries::build_pyramid()
{
    if (size() <= leaf_points) {
        return; // a walk offers every point
    }
    std::vector<SeriesExtent> leaves;
    for (std::size_t first = 0; first < size(); first += leaf_points) {
        leaves.push_back(extent_of(first, std::min(first + leaf_points, size())));
    }
    levels_.push_back(std::move(leaves));
    for (std::size_t width = leaf_points; levels_.back().size() > 1; width *= 2) {
        const std::vector<SeriesExtent>& below = levels_.back();
        std::vector<SeriesExtent> level;
        for (std::size_t k = 0; k < below.size(); k += 2) {
            level.push_back(k + 1 < below.size() ? merged(below[k], below[k + 1], starts_run((k + 1) * width))
                                                 : below[k]);
        }
        levels_.push_back(std::move(level));
    }
}

std::optional<std::size_t> CastSeries::point_of_row(std::int32_t row) const
{
    const auto found = std::lower_bound(rows_.begin(), rows_.end(), row);
    if (found == rows_.end() || *found != row) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(found - rows_.begin());
}

std::optional<std::pair<double, double>> CastSeries::value_range(double top_m, double bottom_m) const
{
    std::optional<std::pair<double, double>> range;
    const auto include = [&range](double low, double high) {
        range = range ? std::pair(std::min(range->first, low), std::max(range->second, high))
                      : std::pair(low, high);
    };
    walk(
        0, size(),
        [&](const SeriesExtent& extent, std::size_t, std::size_t) {
            if (extent.depth_high < top_m || extent.depth_low > bottom_m) {
                return WalkStep::skip;
            }
            if (extent.depth_low >= top_m && extent.depth_high <= bottom_m) {
                include(extent.value_low, extent.value_high);
                return WalkStep::take;
            }
            return WalkStep::split;
        },
        [&](std::size_t i) {
            if (depth_m_[i] >= top_m && depth_m_[i] <= bottom_m) {
                include(values_[i], values_[i]);
            }
        });
    return range;
}

} // namespace quillonde
