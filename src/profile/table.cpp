#include "profile/table.h"

#include "profile/clean_line.h"
#include "runtime/convert.h"
#include "runtime/error.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <string>

namespace quillonde {

namespace {

constexpr std::size_t text_block_size = std::size_t{1} << 20;

Error outside(std::int32_t column, std::int32_t row, std::int32_t last_column, std::int32_t last_row)
{
    if (last_column < 0) {
        return {ErrorKind::subscript_out_of_range,
                "the profile table is empty: no data file has been loaded"};
    }
    if (row < 1 || row > last_row) {
        return {ErrorKind::subscript_out_of_range,
                "row " + long_to_str(row) + " lies outside the table's rows 1 to " + long_to_str(last_row)};
    }
    return {ErrorKind::subscript_out_of_range, "column " + long_to_str(column) +
                                                   " lies outside the table's columns 0 to " +
                                                   long_to_str(last_column)};
}

} // namespace

std::uint64_t ProfileTable::bytes_needed(std::int32_t last_column, std::int32_t last_row) noexcept
{
    const auto rows = static_cast<std::uint64_t>(std::max(last_row, 0));
    const auto text_columns = static_cast<std::uint64_t>(std::max(last_column, 0));
    return rows * (sizeof(Row) + text_columns);
}

const ProfileTable::Row ProfileTable::empty_row{};

void ProfileTable::clear() noexcept
{
    last_column_ = -1;
    last_row_ = 0;
    std::vector<std::unique_ptr<Chunk>>().swap(chunks_);
    text_blocks_.clear();
    block_used_ = 0;
    block_size_ = 0;
    filled_rows_ = 0;
}

void ProfileTable::resize(std::int32_t last_column, std::int32_t last_row, std::uint64_t memory_bytes)
{
    // Nothing of the old table survives, not even after a failure: a half-old table would pair the
    // old rows with the new column names.
    clear();

    if (last_row < 1) {
        throw Error(ErrorKind::subscript_out_of_range,
                    "the row count " + long_to_str(last_row) + " gives the table no rows");
    }
    if (last_column < 0) {
        throw Error(ErrorKind::subscript_out_of_range, "the header names no columns");
    }
    const std::uint64_t needed = bytes_needed(last_column, last_row);
    if (needed > memory_bytes) {
        throw Error(ErrorKind::out_of_memory, "a table of " + long_to_str(last_row) + " rows and " +
                                                  long_to_str(last_column + 1) + " columns needs about " +
                                                  std::to_string(needed >> 20U) + " MiB, more than the " +
                                                  std::to_string(memory_bytes >> 20U) + " MiB available");
    }
    try {
        chunks_.resize((static_cast<std::size_t>(last_row) + rows_per_chunk - 1) / rows_per_chunk);
    } catch (const std::bad_alloc&) {
        throw Error(ErrorKind::out_of_memory, "no memory for a table of " + long_to_str(last_row) + " rows");
    }
    last_column_ = last_column;
    last_row_ = last_row;
}

void ProfileTable::start_rows(std::int32_t last_column)
{
    clear();
    last_column_ = last_column;
}

std::int32_t ProfileTable::add_row()
{
    if (!has_shape() || last_row_ == std::numeric_limits<std::int32_t>::max()) {
        throw Error(ErrorKind::subscript_out_of_range, "the profile table takes no more rows");
    }
    ++last_row_;
    if (static_cast<std::size_t>(last_row_ - 1) / rows_per_chunk >= chunks_.size()) {
        chunks_.emplace_back();
    }
    return last_row_;
}

std::int32_t ProfileTable::last_column() const
{
    if (!has_shape()) {
        throw outside(0, 1, last_column_, 0);
    }
    return last_column_;
}

std::int32_t ProfileTable::last_row() const
{
    if (!has_shape()) {
        throw outside(0, 1, last_column_, 0);
    }
    return last_row_;
}

void ProfileTable::check(std::int32_t column, std::int32_t row) const
{
    if (!has_shape() || row < 1 || row > last_row_ || column < 0 || column > last_column_) {
        throw outside(column, row, last_column_, last_row_);
    }
}

ProfileTable::Row& ProfileTable::row_for_storing(std::int32_t row)
{
    const auto index = static_cast<std::size_t>(row - 1);
    std::unique_ptr<Chunk>& chunk = chunks_[index / rows_per_chunk];
    if (!chunk) {
        chunk = std::make_unique<Chunk>();
    }
    const auto offset = static_cast<std::uint16_t>(index % rows_per_chunk);
    if (chunk->whole()) {
        return chunk->rows[offset];
    }
    std::vector<std::uint16_t>& offsets = chunk->offsets;
    const auto at = std::lower_bound(offsets.begin(), offsets.end(), offset);
    const auto position = at - offsets.begin();
    if (at != offsets.end() && *at == offset) {
        return chunk->rows[static_cast<std::size_t>(position)];
    }
    if (offsets.size() < most_sparse_rows) {
        offsets.insert(at, offset);
        return *chunk->rows.insert(chunk->rows.begin() + position, Row{});
    }
    // Enough rows of this chunk have come that holding all of them costs little more.
    std::vector<Row> whole(rows_per_chunk);
    for (std::size_t k = 0; k < offsets.size(); ++k) {
        whole[offsets[k]] = chunk->rows[k];
    }
    chunk->rows.swap(whole);
    std::vector<std::uint16_t>().swap(offsets);
    return chunk->rows[offset];
}

const ProfileTable::Row& ProfileTable::row_at(std::int32_t row) const
{
    const auto index = static_cast<std::size_t>(row - 1);
    const std::unique_ptr<Chunk>& chunk = chunks_[index / rows_per_chunk];
    if (!chunk) {
        return empty_row;
    }
    const auto offset = static_cast<std::uint16_t>(index % rows_per_chunk);
    if (chunk->whole()) {
        return chunk->rows[offset];
    }
    const auto at = std::lower_bound(chunk->offsets.begin(), chunk->offsets.end(), offset);
    return at != chunk->offsets.end() && *at == offset
               ? chunk->rows[static_cast<std::size_t>(at - chunk->offsets.begin())]
               : empty_row;
}

std::int32_t ProfileTable::next_stored_row(std::int32_t row) const
{
    for (row = std::max(row, 1); row <= last_row_;) {
        const auto index = static_cast<std::size_t>(row - 1);
        const std::size_t first_of_next = (index / rows_per_chunk + 1) * rows_per_chunk;
        const std::unique_ptr<Chunk>& chunk = chunks_[index / rows_per_chunk];
        if (chunk && chunk->whole()) {
            if (chunk->rows[index % rows_per_chunk].fields > 0) {
                return row;
            }
            ++row;
            continue;
        }
        if (chunk) {
            const auto offset = static_cast<std::uint16_t>(index % rows_per_chunk);
            for (auto at = std::lower_bound(chunk->offsets.begin(), chunk->offsets.end(), offset);
                 at != chunk->offsets.end(); ++at) {
                if (chunk->rows[static_cast<std::size_t>(at - chunk->offsets.begin())].fields > 0) {
                    return static_cast<std::int32_t>(index - index % rows_per_chunk + *at + 1);
                }
            }
        }
        row = static_cast<std::int32_t>(std::min(first_of_next, static_cast<std::size_t>(last_row_)) + 1);
    }
    return last_row_ + 1;
}

Cell ProfileTable::cell(std::int32_t column, std::int32_t row) const
{
    check(column, row);
    const Row& stored = row_at(row);
    if (column == last_column_) {
        return std::isnan(stored.depth_m) ? Cell() : Cell::number(stored.depth_m);
    }
    if (column >= stored.fields) {
        return {};
    }
    return Cell::text(field_of({stored.text, stored.size}, static_cast<std::size_t>(column)));
}

char* ProfileTable::allocate_text(std::size_t size)
{
    if (size > block_size_ - block_used_) {
        const std::size_t new_block = std::max(size, text_block_size);
        text_blocks_.push_back(std::make_unique_for_overwrite<char[]>(new_block));
        block_size_ = new_block;
        block_used_ = 0;
    }
    char* text = text_blocks_.back().get() + block_used_;
    block_used_ += size;
    return text;
}

void ProfileTable::store_texts(std::int32_t row, std::string_view joined, std::int32_t count)
{
    check(0, row);
    if (count < 1) {
        return;
    }
    if (count > last_column_) {
        throw outside(last_column_, row, last_column_, last_row_);
    }
    if (joined.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw Error(ErrorKind::out_of_memory,
                    "a data line of " + std::to_string(joined.size()) + " bytes is too long to store");
    }
    Row& stored = row_for_storing(row);
    if (stored.fields == 0 && count > 0) {
        ++filled_rows_;
    }
    std::string merged;
    if (count < stored.fields) {
        // A shorter line for a row that is already filled replaces only its first fields.
        merged.reserve(joined.size() + stored.size);
        const std::string_view old_text(stored.text, stored.size);
        merged.append(joined).append(" ").append(
            old_text.substr(field_offset(old_text, static_cast<std::size_t>(count))));
        joined = merged;
        count = stored.fields;
    }
    char* text = joined.size() <= stored.size ? stored.text : allocate_text(joined.size());
    if (!joined.empty()) {
        std::memcpy(text, joined.data(), joined.size());
    }
    stored.text = text;
    stored.size = static_cast<std::uint32_t>(joined.size());
    stored.fields = count;
}

void ProfileTable::store_depth(std::int32_t row, double depth_m)
{
    check(last_column_, row);
    row_for_storing(row).depth_m = depth_m;
}

} // namespace quillonde
