#pragma once

#include "profile/table.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace quillonde {

/// The depth and value extent of a run of consecutive points.
struct SeriesExtent {
    double depth_low = 0.0;
    double depth_high = 0.0;
    double value_low = 0.0;
    double value_high = 0.0;
    bool joined = true; ///< no point after the run's first starts a new run
};

/// A sample a rule leaves out, as a plot marks it.
struct LeftOutPoint {
    std::int32_t row = 0;
    double depth_m = 0.0;
    double value = 0.0;
    Rule rule = Rule::file_flag;
};

/// What a walk does with a block of points.
enum class WalkStep { skip, take, split };

/// One column of a cast as numbers, read once from the table: every stored row that has a depth
/// and a good sample in that column, in row order, and a pyramid of the extents of aligned blocks of
/// them, so that a drawing or a range query touches a few blocks per pixel instead of every row.
/// The samples a rule leaves out are kept apart, to be marked.
class CastSeries {
public:
    /// Reads `columns` of `table` at once (see SeriesReader).
    static std::vector<CastSeries> read(const ProfileTable& table, const std::vector<std::int32_t>& columns,
                                        std::int32_t depth_column);
    /// No points.
    CastSeries() = default;

    std::size_t size() const { return rows_.size(); }
    std::int32_t row(std::size_t i) const { return rows_[i]; }
    double depth_m(std::size_t i) const { return depth_m_[i]; }
    double value(std::size_t i) const { return values_[i]; }
    /// Whether a stored row left out lies between point i - 1 and point i.
    bool starts_run(std::size_t i) const { return run_starts_[i] != 0; }
    std::int32_t rows_without_number() const { return no_number_; }
    /// The samples a rule leaves out, in row order.
    const std::vector<LeftOutPoint>& left_out() const { return left_out_; }
    /// The first point of the upcast: the points before it are the rows up to the deepest stored
    /// row, in row order.
    std::size_t downcast_end() const { return downcast_end_; }

    /// The point of row `row`, if it is one.
    std::optional<std::size_t> point_of_row(std::int32_t row) const;

    /// The smallest and largest value of the points whose depth lies from `top_m` to `bottom_m`.
    std::optional<std::pair<double, double>> value_range(double top_m, double bottom_m) const;

    /// Offers the points from `begin` to `end` in order as aligned blocks, largest first:
    /// `block(extent, first, last)` answers skip (leave the points out), take (done with them) or
    /// split (offer its halves); a split block of the smallest size offers its points one by one
    /// to `point(i)`.
    template <typename Block, typename Point>
    void walk(std::size_t begin, std::size_t end, Block&& block, Point&& point) const
    {
        if (begin < end && !levels_.empty()) {
            walk_node(levels_.size() - 1, 0, begin, std::min(end, size()), block, point);
        } else {
            for (std::size_t i = begin; i < std::min(end, size()); ++i) {
                point(i);
            }
        }
    }

private:
    friend class SeriesReader;
    static constexpr std::size_t leaf_points = 16;

    void build_pyramid();
    SeriesExtent extent_of(std::size_t first, std::size_t last) const;

    template <typename Block, typename Point>
    void walk_node(std::size_t level, std::size_t index, std::size_t begin, std::size_t end, Block& block,
                   Point& point) const
    {
        const std::size_t width = leaf_points << level;
        const std::size_t first = index * width;
        const std::size_t last = std::min(first + width, size());
        if (last <= begin || first >= end) {
            return;
        }
        if (first >= begin && last <= end) {
            const WalkStep step = block(levels_[level][index], first, last);
            if (step != WalkStep::split) {
                return;
            }
        }
        if (level == 0) {
            for (std::size_t i = std::max(first, begin); i < std::min(last, end); ++i) {
                point(i);
            }
            return;
        }
        walk_node(level - 1, 2 * index, begin, end, block, point);
        walk_node(level - 1, 2 * index + 1, begin, end, block, point);
    }

    std::vector<std::int32_t> rows_;
    std::vector<double> depth_m_;
    std::vector<double> values_;
    std::vector<std::uint8_t> run_starts_;
    std::int32_t no_number_ = 0;
    std::vector<LeftOutPoint> left_out_;
    std::size_t downcast_end_ = 0;
    std::vector<std::vector<SeriesExtent>> levels_; ///< level k: blocks of leaf_points << k points
};

/// Reads columns of a table into CastSeries: a part of the rows at a time, so that the reading can
/// go on between the events of a window, or the rest at once over the processor's cores. A stored
/// row without a depth or a number is left out of a column and counted, a sample a rule leaves out
/// is kept apart, and the column's point after either starts a new run. Rows a rule leaves out take
/// no part in finding the deepest row. The table must not change until the reading is finished.
class SeriesReader {
public:
    SeriesReader(const ProfileTable& table, std::vector<std::int32_t> columns, std::int32_t depth_column);
    ~SeriesReader();
    SeriesReader(const SeriesReader&) = delete;
    SeriesReader& operator=(const SeriesReader&) = delete;

    const std::vector<std::int32_t>& columns() const { return columns_; }
    /// Reads about `rows` more rows; false once every row is read.
    bool read_more(std::int32_t rows);
    /// Reads the rows not read yet.
    void read_rest();
    std::int32_t rows_unread() const { return last_row_ - next_row_ + 1; }
    /// The series of the columns, in their order; after every row is read.
    std::vector<CastSeries> finish();

private:
    struct Part;
    void read_part(Part& part) const;

    const ProfileTable& table_;
    std::vector<std::int32_t> columns_;
    std::int32_t depth_column_;
    std::int32_t last_row_;
    std::int32_t next_row_ = 1;
    std::vector<Part> parts_;
};

} // namespace quillonde
