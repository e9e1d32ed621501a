#pragma once

#include "runtime/cell.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <string_view>
#include <vector>

namespace quillonde {

/// The profile table: one loaded cast, addressed by column and row. Columns 0 to last_column() - 1
/// hold the fields of a data line as text, unconverted; the last column holds the row's depth in
/// metres as a double. Rows run from 1 to last_row(). Every access checks both indices against the
/// current bounds and fails with a subscript-out-of-range error outside them.
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

    /// The cell at (column, row): a text, a depth, or empty.
    Cell cell(std::int32_t column, std::int32_t row) const;

    /// Stores the first `count` fields of a data line, `joined` by single blanks, in columns 0 to
    /// count - 1 of `row`. The row's further text columns keep what they held, its depth too.
    /// Fails before storing anything when the row, or a column, lies outside the table.
    void store_texts(std::int32_t row, std::string_view joined, std::int32_t count);

    /// Stores the depth of `row`.
    void store_depth(std::int32_t row, double depth_m);

    /// The first row from `row` on that a data line has filled, or last_row() + 1: a walk over the
    /// stored rows that skips the empty ones of a sparse cast at little cost.
    std::int32_t next_stored_row(std::int32_t row) const;

    /// How many rows hold the fields of a data line.
    std::int32_t filled_rows() const noexcept { return filled_rows_; }

    /// The memory a table of this shape needs, counting one byte for each text cell of every row.
    static std::uint64_t bytes_needed(std::int32_t last_column, std::int32_t last_row) noexcept;

private:
    static constexpr double empty_depth = std::numeric_limits<double>::quiet_NaN(); // depths are finite

    struct Row {
        char* text = nullptr; // the stored fields, joined by single blanks; in text_blocks_
        std::uint32_t size = 0;
        std::int32_t fields = 0; // how many text columns hold a text
        double depth_m = empty_depth;
    };

    // Rows live in chunks of this many, made when a row of the chunk is first stored. A chunk holds
    // only its stored rows, by row number, until a quarter of them are stored; then all of them.
    static constexpr std::size_t rows_per_chunk = 4096;
    static constexpr std::size_t most_sparse_rows = rows_per_chunk / 4;
    struct Chunk {
        std::vector<Row> rows; // all rows_per_chunk rows, or the stored ones
        std::vector<std::uint16_t>
            offsets; // the stored rows' offsets in the chunk, ascending; empty once all are held
        bool whole() const noexcept { return rows.size() == rows_per_chunk; }
    };
    static const Row empty_row;

    void check(std::int32_t column, std::int32_t row) const;
    Row& row_for_storing(std::int32_t row);
    const Row& row_at(std::int32_t row) const;
    char* allocate_text(std::size_t size);

    std::int32_t last_column_ = -1;
    std::int32_t last_row_ = 0;
    std::vector<std::unique_ptr<Chunk>> chunks_; // a null chunk: all its rows are empty
    std::vector<std::unique_ptr<char[]>> text_blocks_;
    std::size_t block_used_ = 0;
    std::size_t block_size_ = 0;
    std::int32_t filled_rows_ = 0;
};

} // namespace quillonde
