#pragma once

#include "profile/sample.h"
#include "runtime/cell.h"
#include "runtime/convert.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <future>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace quillonde {

/// The profile table: one loaded cast, addressed by column and row. Columns 0 to last_column() - 1
/// hold the fields of a data line as the file writes them; the last column holds the row's depth
/// in metres. Rows run from 1 to last_row(). Every access checks both indices against the current
/// bounds and fails with a subscript-out-of-range error outside them.
///
/// cell() shows the texts as they stand. The values are sample(): each column's ValueRule turns its
/// texts into numbers in the program's unit when they are first needed, and rules may leave samples
/// or whole rows out of the profile; most rows of a long cast are never read as numbers.
///
/// Rows are stored as their fields joined by single blanks (fields never hold a blank), so a cast
/// costs little more than its text, and storage for rows is made as data lines arrive, so a small
/// file that declares many rows costs little memory, whatever row numbers its lines carry.
class ProfileTable {
public:
    /// The initial shape: no columns and no rows; every access fails.
    ProfileTable() = default;

    /// Whether a header line has given the table its columns and rows.
    bool has_shape() const noexcept { return last_column_ >= 0; }

    /// Back to the initial shape, all memory released.
    void clear() noexcept;

    /// Empties the table and gives it the columns 0 to `last_column` (the last one for depths) and
    /// the rows 1 to `last_row`. Fails with subscript out of range when `last_row` is below 1 and
    /// with out of memory when the table would need more memory than `memory_bytes`; after a failure
    /// the table is in its initial shape.
    void resize(std::int32_t last_column, std::int32_t last_row, std::uint64_t memory_bytes);

    /// Empties the table and gives it the columns 0 to `last_column` and no rows, for rows that come
    /// one after the other (add_row()).
    void start_rows(std::int32_t last_column);

    /// A new empty row after the last one; returns its number.
    std::int32_t add_row();

    std::int32_t last_column() const;
    std::int32_t last_row() const;

    /// The cell at (column, row): the file's text, the depth, or empty.
    Cell cell(std::int32_t column, std::int32_t row) const;

    /// The rules of the text columns, from column 0; a column without one takes its numbers as given.
    void set_rules(std::vector<ValueRule> rules);
    const ValueRule& rule(std::int32_t column) const;

    /// The value at (column, row) by the column's rule, and what it is worth. The depth column gives
    /// the row's depth, as depth_m().
    Sample sample(std::int32_t column, std::int32_t row) const;

    /// The depth of `row` that the rows are thinned by and the profile of a Sea & Sun cast gives: a
    /// computed depth rounded to 2 decimals, a depth the file gives as it stands. Nothing for a row
    /// without a depth.
    std::optional<double> depth_m(std::int32_t row) const;
    /// The depth of `row` as computed, unrounded; the file's own where it gives the depth.
    std::optional<double> exact_depth_m(std::int32_t row) const;

    /// Leaves the whole of `row` out of the profile by `rule`; its samples show it.
    void leave_out_row(std::int32_t row, Rule rule);
    /// Leaves the sample at (column, row) out of the profile by `rule`.
    void leave_out_sample(std::int32_t column, std::int32_t row, Rule rule);
    /// Takes back every leaving out by `rule`, of rows and of samples.
    void forget_rule(Rule rule);
    /// The rule that leaves the whole of `row` out, if one does.
    std::optional<Rule> row_left_out(std::int32_t row) const;
    /// Whether `row` has a depth and no rule leaves it out: a row the profile may take.
    bool row_usable(std::int32_t row) const;
    /// How many rows each rule leaves out, by rule.
    std::map<Rule, std::int32_t> rows_left_out() const;

    /// Calls `visit(row, sample)` with the sample of text column `column` of each stored row from
    /// `first` to `last`, in row order, until a `visit` that returns a bool returns false: for what
    /// reads a column whole (the median of the salinity), at less cost than sample(). Walks of rows
    /// that do not overlap may run at once on several threads, while nothing changes the table.
    template <typename Visit>
    void for_each_sample(std::int32_t column, Visit&& visit, std::int32_t first = 1,
                         std::int32_t last = std::numeric_limits<std::int32_t>::max()) const
    {
        check_column(column);
        const ValueRule& by = rule(column);
        const bool flagged = !row_rules_.empty() || !sample_rules_.empty();
        for_each_stored_row(first, last, [&](std::int32_t row, const Row& stored) {
            if (stored.fields == 0) {
                return true;
            }
            Sample sample = by.sample_of(text_field(stored, column));
            if (flagged && sample.good()) {
                mark_left_out(column, row, sample);
            }
            return goes_on(visit, row, static_cast<const Sample&>(sample));
        });
    }

    /// Calls `visit(row, k, sample)` with the sample of text column `columns[k]` for each k of each
    /// stored row from `first` to `last`, in row order and, within a row, in the order given: several
    /// columns read in one walk, each row's text split once. Walks of rows that do not overlap may
    /// run at once on several threads, while nothing changes the table.
    template <typename Visit>
    void for_each_row_samples(std::span<const std::int32_t> columns, Visit&& visit, std::int32_t first = 1,
                              std::int32_t last = std::numeric_limits<std::int32_t>::max()) const
    {
        std::int32_t widest = 0;
        std::vector<const ValueRule*> rules;
        for (const std::int32_t column : columns) {
            check_column(column);
            widest = std::max(widest, column + 1);
            rules.push_back(&rule(column));
        }
        if (columns.empty()) {
            return;
        }
        const bool flagged = !row_rules_.empty() || !sample_rules_.empty();
        std::vector<std::string_view> fields(static_cast<std::size_t>(widest));
        for_each_stored_row(first, last, [&](std::int32_t row, const Row& stored) {
            if (stored.fields == 0) {
                return true;
            }
            split_fields(stored, fields);
            for (std::size_t n = 0; n < columns.size(); ++n) {
                const std::int32_t column = columns[n];
                Sample sample = rules[n]->sample_of(fields[static_cast<std::size_t>(column)]);
                if (flagged && sample.good()) {
                    mark_left_out(column, row, sample);
                }
                visit(row, n, static_cast<const Sample&>(sample));
            }
            return true;
        });
    }

    /// Stores the first `count` fields of a data line, `joined` by single blanks, in columns 0 to
    /// count - 1 of `row`. The row's further text columns keep what they held, its depth too.
    /// Fails before storing anything when the row, or a column, lies outside the table.
    void store_texts(std::int32_t row, std::string_view joined, std::int32_t count);

    /// Stores the depth of `row` as the file gives it.
    void store_depth(std::int32_t row, double depth_m);
    /// Stores the depth of `row` as computed from its pressure, unrounded: the table's depth_m() is
    /// then `exact_m` to computed_depth_decimals, as fresh_con and salt_con give it. A table's depths
    /// are all given or all computed.
    void store_computed_depth(std::int32_t row, double exact_m);
    /// The decimals of a computed depth as the rows are thinned by it.
    static constexpr int computed_depth_decimals = 2;

    /// Calls `visit(row, depth_m)` for each row from `first` on that has a depth and that no rule
    /// leaves out, in row order, until a `visit` that returns a bool returns false; `pause()` before
    /// each further rows_per_chunk rows (where a walk may stop by throwing). At less cost than
    /// depth_m() row by row.
    template <typename Visit, typename Pause>
    void for_each_usable_depth(std::int32_t first, Visit&& visit, Pause&& pause) const
    {
        const bool flagged = !row_rules_.empty();
        for_each_stored_row(
            first, last_row_,
            [&](std::int32_t row, const Row& stored) {
                if (std::isnan(stored.depth_m) || (flagged && row_rules_.contains(row))) {
                    return true;
                }
                return goes_on(visit, row, table_depth(stored.depth_m));
            },
            pause);
    }

    /// Stores `fields` as a new row after the last one, and returns its number: a row that
    /// start_rows() began. Fails, storing nothing, when a field holds a blank (naming it) or the
    /// table takes no more rows.
    std::int32_t append_row(std::span<const std::string_view> fields);

    /// Takes the rows of `part`, a table of the same columns and rules that holds the rows of a
    /// later part of the same file: `appended`, after this table's last row, where both took their
    /// rows one after the other (start_rows(), append_row()); else by their numbers, where both were
    /// sized alike (resize()). False, changing nothing, when both hold a row of the same number.
    /// Either way `part` is left empty.
    bool take_rows(ProfileTable& part, bool appended);
    /// Whether the largest blocks of a long cast's texts are made ahead on a thread of their own, as
    /// they are again once the table is emptied: not while another thread fills a table too.
    void make_blocks_ahead(bool ahead) noexcept { blocks_ahead_ = ahead; }

    /// The first row from `row` on that a data line has filled, or last_row() + 1: a walk over the
    /// stored rows that skips the empty ones of a sparse cast at little cost.
    std::int32_t next_stored_row(std::int32_t row) const;

    /// How many rows hold the fields of a data line.
    std::int32_t filled_rows() const noexcept { return filled_rows_; }

    /// The memory a table of this shape needs, counting one byte for each text cell of every row.
    static std::uint64_t bytes_needed(std::int32_t last_column, std::int32_t last_row) noexcept;

private:
    /// Calls `visit(row, stored)` for each stored row from `first` to `last`, in row order, until it
    /// returns false; `pause()` before each chunk but the table's first.
    template <typename Visit, typename Pause = void (*)()>
    void for_each_stored_row(
        std::int32_t first, std::int32_t last, Visit&& visit, Pause&& pause = [] {}) const
    {
        first = std::max(first, 1);
        for (auto c = static_cast<std::size_t>(first - 1) / rows_per_chunk; c < chunks_.size(); ++c) {
            if (c > 0) {
                pause();
            }
            const Chunk* chunk = chunks_[c].get();
            if (chunk == nullptr) {
                continue;
            }
            const auto base = static_cast<std::int64_t>(c * rows_per_chunk);
            if (chunk->whole()) {
                // The rows of the chunk from `first` to `last` are a run of its offsets.
                const auto begin = static_cast<std::size_t>(std::max<std::int64_t>(first - 1 - base, 0));
                const auto end = static_cast<std::size_t>(
                    std::clamp<std::int64_t>(std::int64_t{last} - base, 0, std::int64_t{rows_per_chunk}));
                for (std::size_t k = begin; k < end; ++k) {
                    if (!visit(static_cast<std::int32_t>(base + static_cast<std::int64_t>(k) + 1),
                               chunk->all[k])) {
                        return;
                    }
                }
                if (end < rows_per_chunk) {
                    return;
                }
                continue;
            }
            for (std::size_t k = 0; k < chunk->rows.size(); ++k) {
                const auto row = static_cast<std::int32_t>(base + chunk->offsets[k] + 1);
                if (row > last) {
                    return;
                }
                if (row >= first && !visit(row, chunk->rows[k])) {
                    return;
                }
            }
        }
    }

    /// A walk's `visit(arguments...)`: what it returns where it returns a bool, else true.
    template <typename Visit, typename... Arguments>
    static bool goes_on(Visit& visit, const Arguments&... arguments)
    {
        if constexpr (std::is_same_v<decltype(visit(arguments...)), bool>) {
            return visit(arguments...);
        } else {
            visit(arguments...);
            return true;
        }
    }

    static constexpr double empty_depth = std::numeric_limits<double>::quiet_NaN(); // depths are finite

    // The rules that leave whole rows out, by row: a sorted vector, as rows are left out mostly in
    // row order, at a few bytes each where a cast has many such rows.
    class RowRules {
    public:
        bool empty() const noexcept { return rules_.empty(); }
        void clear() noexcept { rules_.clear(); }
        const Rule* find(std::int32_t row) const noexcept
        {
            const auto at = std::ranges::lower_bound(rules_, row, {}, &std::pair<std::int32_t, Rule>::first);
            return at != rules_.end() && at->first == row ? &at->second : nullptr;
        }
        bool contains(std::int32_t row) const noexcept { return find(row) != nullptr; }
        void insert_or_assign(std::int32_t row, Rule rule)
        {
            if (rules_.empty() || rules_.back().first < row) {
                rules_.emplace_back(row, rule);
                return;
            }
            const auto at = std::ranges::lower_bound(rules_, row, {}, &std::pair<std::int32_t, Rule>::first);
            if (at != rules_.end() && at->first == row) {
                at->second = rule;
            } else {
                rules_.emplace(at, row, rule);
            }
        }
        void forget(Rule rule)
        {
            std::erase_if(rules_, [rule](const auto& entry) { return entry.second == rule; });
        }
        auto begin() const noexcept { return rules_.begin(); }
        auto end() const noexcept { return rules_.end(); }

    private:
        std::vector<std::pair<std::int32_t, Rule>> rules_;
    };

    struct Row {
        char* text = nullptr; // the stored fields, joined by single blanks; in text_blocks_
        std::uint32_t size = 0;
        std::int32_t fields = 0;      // how many text columns hold a text
        double depth_m = empty_depth; // as given, or computed and unrounded
    };

    double table_depth(double stored) const noexcept
    {
        return computed_depths_ ? round_to(stored, computed_depth_decimals) : stored;
    }

    // Rows live in chunks of this many, made when a row of the chunk is first stored. A chunk holds
    // only its stored rows, by row number, until a quarter of them are stored; then all of them.
    static constexpr std::size_t rows_per_chunk = 4096;
    static constexpr std::size_t most_sparse_rows = rows_per_chunk / 4;
    struct Chunk {
        std::vector<Row> rows;              // the stored rows, while the chunk holds only those
        std::vector<std::uint16_t> offsets; // their offsets in the chunk, ascending
        Row* all = nullptr;                 // all rows_per_chunk rows, in the text blocks, once held
        bool whole() const noexcept { return all != nullptr; }
    };
    static const Row empty_row;

    void check(std::int32_t column, std::int32_t row) const;
    /// Fails as check() does for a text column outside the table, whatever its rows.
    void check_column(std::int32_t column) const;
    Row& row_for_storing(std::int32_t row);
    const Row& row_at(std::int32_t row) const;
    char* allocate_text(std::size_t size);
    Row* allocate_rows();
    /// All rows of `chunk`, which holds them all from now on.
    Row* whole_rows(Chunk& chunk);
    /// Appends the rows of `part` after the last row, as they stand there.
    void append_rows_of(const ProfileTable& part);
    /// Field `column` of a stored row, or empty.
    static std::string_view text_field(const Row& stored, std::int32_t column) noexcept;
    /// The first fields.size() fields of a stored row; empty where the row has fewer.
    static void split_fields(const Row& stored, std::span<std::string_view> fields) noexcept;
    /// Makes a good `sample` at (column, row) left out where a rule leaves it out.
    void mark_left_out(std::int32_t column, std::int32_t row, Sample& sample) const;

    std::int32_t last_column_ = -1;
    std::int32_t last_row_ = 0;
    std::vector<std::unique_ptr<Chunk>> chunks_; // a null chunk: all its rows are empty
    /// A block of memory for texts and rows, mapped whole and unmapped whole.
    class Block {
    public:
        explicit Block(std::size_t size);
        Block(Block&& other) noexcept : data_(std::exchange(other.data_, nullptr)), size_(other.size_) {}
        Block& operator=(Block&&) = delete;
        Block(const Block&) = delete;
        Block& operator=(const Block&) = delete;
        ~Block();
        char* data() const noexcept { return data_; }
        std::size_t size() const noexcept { return size_; }

    private:
        char* data_;
        std::size_t size_;
    };
    /// A block of at least `size` bytes: the one made meanwhile, when it is as large. Then, when the
    /// block to follow is of the largest size, it is made meanwhile on a thread of its own: a long
    /// cast's pages are made while its rows are stored, not in their way.
    Block next_block(std::size_t size, std::size_t following);

    std::vector<Block> text_blocks_;
    std::future<Block> block_in_making_; // after text_blocks_: gone before them
    std::size_t block_used_ = 0;
    std::size_t block_size_ = 0;
    std::int32_t filled_rows_ = 0;
    bool computed_depths_ = false;
    bool blocks_ahead_ = true;
    std::vector<ValueRule> rules_;
    RowRules row_rules_;
    std::map<std::pair<std::int32_t, std::int32_t>, Rule> sample_rules_; // by (column, row)
};

} // namespace quillonde
