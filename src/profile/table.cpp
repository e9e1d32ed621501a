#include "profile/table.h"

#include "profile/clean_line.h"
#include "runtime/convert.h"
#include "runtime/error.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <type_traits>

#include <sys/mman.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace quillonde {

namespace {

/// Copies `size` bytes, at least sizeof(Word) and at most twice as many, as two words that may
/// overlap.
template <typename Word> void copy_as_two_words(char* to, const char* from, std::size_t size) noexcept
{
    Word head{};
    Word tail{};
    std::memcpy(&head, from, sizeof(Word));
    std::memcpy(&tail, from + size - sizeof(Word), sizeof(Word));
    std::memcpy(to, &head, sizeof(Word));
    std::memcpy(to + size - sizeof(Word), &tail, sizeof(Word));
}

/// Copies `text` to `to`. A field is a few bytes, which two moves copy, where a call to memcpy of
/// its length would cost more than the copy.
void copy_short(char* to, std::string_view text) noexcept
{
    const std::size_t size = text.size();
    if (size > 2 * sizeof(std::uint64_t)) {
        std::memcpy(to, text.data(), size);
    } else if (size >= sizeof(std::uint64_t)) {
        copy_as_two_words<std::uint64_t>(to, text.data(), size);
    } else if (size >= sizeof(std::uint32_t)) {
        copy_as_two_words<std::uint32_t>(to, text.data(), size);
    } else {
        std::copy_n(text.data(), size, to);
    }
}

constexpr std::size_t first_text_block = std::size_t{1} << 20;
constexpr std::size_t largest_text_block = std::size_t{16} << 20;

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
    block_in_making_ = {};
    text_blocks_.clear();
    block_used_ = 0;
    block_size_ = 0;
    filled_rows_ = 0;
    std::vector<ValueRule>().swap(rules_);
    row_rules_.clear();
    sample_rules_.clear();
    computed_depths_ = false;
    blocks_ahead_ = true;
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

void ProfileTable::check_column(std::int32_t column) const
{
    if (!has_shape() || column < 0 || column >= last_column_) {
        throw outside(column, 1, last_column_, std::max(last_row_, 1));
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
        return chunk->all[offset];
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
    return whole_rows(*chunk)[offset];
}

ProfileTable::Row* ProfileTable::whole_rows(Chunk& chunk)
{
    if (chunk.whole()) {
        return chunk.all;
    }
    Row* const all = allocate_rows();
    for (std::size_t k = 0; k < chunk.offsets.size(); ++k) {
        all[chunk.offsets[k]] = chunk.rows[k];
    }
    chunk.all = all;
    std::vector<Row>().swap(chunk.rows);
    std::vector<std::uint16_t>().swap(chunk.offsets);
    return all;
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
        return chunk->all[offset];
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
            if (chunk->all[index % rows_per_chunk].fields > 0) {
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

void ProfileTable::set_rules(std::vector<ValueRule> rules)
{
    rules_ = std::move(rules);
}

const ValueRule& ProfileTable::rule(std::int32_t column) const
{
    static const ValueRule as_given;
    return column >= 0 && static_cast<std::size_t>(column) < rules_.size()
               ? rules_[static_cast<std::size_t>(column)]
               : as_given;
}

Sample ProfileTable::sample(std::int32_t column, std::int32_t row) const
{
    check(column, row);
    const Row& stored = row_at(row);
    if (column == last_column_) {
        Sample depth;
        if (!std::isnan(stored.depth_m)) {
            depth.value = table_depth(stored.depth_m);
            depth.flag = SampleFlag::good;
        }
        return depth;
    }
    Sample sample = rule(column).sample_of(text_field(stored, column));
    if (sample.good() && (!row_rules_.empty() || !sample_rules_.empty())) {
        mark_left_out(column, row, sample);
    }
    return sample;
}

std::optional<double> ProfileTable::depth_m(std::int32_t row) const
{
    check(last_column_, row);
    const double depth = row_at(row).depth_m;
    return std::isnan(depth) ? std::nullopt : std::optional(table_depth(depth));
}

std::optional<double> ProfileTable::exact_depth_m(std::int32_t row) const
{
    check(last_column_, row);
    const double depth = row_at(row).depth_m;
    return std::isnan(depth) ? std::nullopt : std::optional(depth);
}

void ProfileTable::leave_out_row(std::int32_t row, Rule rule)
{
    check(0, row);
    row_rules_.insert_or_assign(row, rule);
}

void ProfileTable::leave_out_sample(std::int32_t column, std::int32_t row, Rule rule)
{
    check(column, row);
    sample_rules_.insert_or_assign({column, row}, rule);
}

void ProfileTable::forget_rule(Rule rule)
{
    row_rules_.forget(rule);
    std::erase_if(sample_rules_, [rule](const auto& entry) { return entry.second == rule; });
}

std::optional<Rule> ProfileTable::row_left_out(std::int32_t row) const
{
    if (row_rules_.empty()) {
        return std::nullopt;
    }
    const Rule* found = row_rules_.find(row);
    return found == nullptr ? std::nullopt : std::optional(*found);
}

bool ProfileTable::row_usable(std::int32_t row) const
{
    return depth_m(row).has_value() && !row_left_out(row);
}

std::map<Rule, std::int32_t> ProfileTable::rows_left_out() const
{
    std::map<Rule, std::int32_t> counts;
    for (const auto& [row, rule] : row_rules_) {
        ++counts[rule];
    }
    return counts;
}

std::string_view ProfileTable::text_field(const Row& stored, std::int32_t column) noexcept
{
    if (column >= stored.fields) {
        return {};
    }
    // Fields are short: the blanks before the field are counted sixteen bytes at a time, as a median
    // of a million rows feels a search for each.
    const char* at = stored.text;
    const char* const end = stored.text + stored.size;
    auto blanks = static_cast<unsigned>(column);
#ifdef __SSE2__
    constexpr std::ptrdiff_t block = 16;
    while (blanks > 0 && end - at >= block) {
        const __m128i is_blank =
            _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), _mm_set1_epi8(' '));
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(is_blank));
        // The blanks counted as the sum of their bytes' ones, for want of a population count.
        const __m128i sums = _mm_sad_epu8(_mm_and_si128(is_blank, _mm_set1_epi8(1)), _mm_setzero_si128());
        const auto seen = static_cast<unsigned>(_mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4));
        if (seen < blanks) {
            blanks -= seen;
            at += block;
            continue;
        }
        for (; blanks > 1; --blanks) {
            mask &= mask - 1;
        }
        at += std::countr_zero(mask) + 1;
        blanks = 0;
    }
#endif
    for (; blanks > 0; ++at) {
        blanks -= *at == ' ' ? 1U : 0U;
    }
    const char* field_end = at;
    while (field_end != end && *field_end != ' ') {
        ++field_end;
    }
    return {at, static_cast<std::size_t>(field_end - at)};
}

void ProfileTable::split_fields(const Row& stored, std::span<std::string_view> fields) noexcept
{
    const std::size_t wanted = std::min(fields.size(), static_cast<std::size_t>(stored.fields));
    const char* const text = stored.text;
    const std::size_t size = stored.size;
    std::size_t found = 0;
    std::size_t begin = 0;
    std::size_t at = 0;
#ifdef __SSE2__
    // Sixteen bytes at a time: each blank ends a field.
    constexpr std::size_t block = 16;
    for (; found < wanted && at + block <= size; at += block) {
        auto blanks = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at)), _mm_set1_epi8(' '))));
        for (; blanks != 0 && found < wanted; blanks &= blanks - 1) {
            const std::size_t blank = at + static_cast<std::size_t>(std::countr_zero(blanks));
            fields[found++] = {text + begin, blank - begin};
            begin = blank + 1;
        }
    }
#endif
    for (; found < wanted && at < size; ++at) {
        if (text[at] == ' ') {
            fields[found++] = {text + begin, at - begin};
            begin = at + 1;
        }
    }
    if (found < wanted) {
        fields[found++] = {text + begin, size - begin}; // the last field ends with the row
    }
    for (; found < fields.size(); ++found) {
        fields[found] = {};
    }
}

void ProfileTable::mark_left_out(std::int32_t column, std::int32_t row, Sample& sample) const
{
    const Rule* whole = row_rules_.find(row);
    const auto one = sample_rules_.find({column, row});
    if (whole != nullptr || one != sample_rules_.end()) {
        sample.flag = SampleFlag::left_out;
        sample.rule = whole != nullptr ? *whole : one->second;
    }
}

Cell ProfileTable::cell(std::int32_t column, std::int32_t row) const
{
    check(column, row);
    const Row& stored = row_at(row);
    if (column == last_column_) {
        return std::isnan(stored.depth_m) ? Cell() : Cell::number(table_depth(stored.depth_m));
    }
    if (column >= stored.fields) {
        return {};
    }
    return Cell::text(field_of({stored.text, stored.size}, static_cast<std::size_t>(column)));
}

ProfileTable::Block::Block(std::size_t size) : data_(nullptr), size_(size)
{
    // Its pages made at once, as the block is filled from the start anyway: a long cast's text then
    // costs a few dozen calls into the system rather than a page fault for every 4 KiB.
    void* const mapped =
        mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (mapped == MAP_FAILED) {
        throw std::bad_alloc();
    }
    data_ = static_cast<char*>(mapped);
}

ProfileTable::Block::~Block()
{
    if (data_ != nullptr) {
        munmap(data_, size_);
    }
}

ProfileTable::Row* ProfileTable::allocate_rows()
{
    // In the blocks of the texts, which the rows outlive by nothing: a Row needs no destructor.
    static_assert(std::is_trivially_destructible_v<Row>);
    constexpr std::size_t bytes = rows_per_chunk * sizeof(Row);
    block_used_ = std::min(block_size_, (block_used_ + alignof(Row) - 1) / alignof(Row) * alignof(Row));
    Row* const rows = static_cast<Row*>(static_cast<void*>(allocate_text(bytes)));
    std::uninitialized_default_construct_n(rows, rows_per_chunk);
    return rows;
}

ProfileTable::Block ProfileTable::next_block(std::size_t size, std::size_t following)
{
    std::optional<Block> made;
    if (block_in_making_.valid()) {
        try {
            Block block = block_in_making_.get();
            if (block.size() >= size) {
                made.emplace(std::move(block));
            }
        } catch (const std::bad_alloc&) {
            // Made here and now, or failed here and now.
        }
    }
    if (!made) {
        made.emplace(size);
    }
    if (following == largest_text_block && blocks_ahead_) {
        try {
            block_in_making_ = std::async(std::launch::async, [following] { return Block(following); });
        } catch (const std::system_error&) {
            // No thread to be had: the next block is made when it is needed.
        }
    }
    return std::move(*made);
}

char* ProfileTable::allocate_text(std::size_t size)
{
    if (size == 0) {
        return nullptr;
    }
    if (size > block_size_ - block_used_) {
        // Blocks grow with the cast, so that a small one costs little.
        const auto grown = [](std::size_t blocks) {
            return std::min(first_text_block << std::min<std::size_t>(blocks, 4), largest_text_block);
        };
        const std::size_t blocks = text_blocks_.size();
        text_blocks_.push_back(next_block(std::max(size, grown(blocks)), grown(blocks + 1)));
        block_size_ = text_blocks_.back().size();
        block_used_ = 0;
    }
    char* text = text_blocks_.back().data() + block_used_;
    block_used_ += size;
    return text;
}

void ProfileTable::append_rows_of(const ProfileTable& part)
{
    // Run by run of rows that lie in one chunk of each table.
    const auto rows = static_cast<std::size_t>(part.last_row_);
    const auto first = static_cast<std::size_t>(last_row_);
    if (rows > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) - first) {
        throw Error(ErrorKind::subscript_out_of_range, "the profile table takes no more rows");
    }
    chunks_.resize((first + rows + rows_per_chunk - 1) / rows_per_chunk);
    for (std::size_t done = 0; done < rows;) {
        const std::size_t to = first + done;
        const std::size_t run = std::min(
            {rows_per_chunk - to % rows_per_chunk, rows_per_chunk - done % rows_per_chunk, rows - done});
        if (const Chunk* from = part.chunks_[done / rows_per_chunk].get()) {
            std::unique_ptr<Chunk>& chunk = chunks_[to / rows_per_chunk];
            if (!chunk) {
                chunk = std::make_unique<Chunk>();
            }
            Row* const into = whole_rows(*chunk) + to % rows_per_chunk;
            const std::size_t begin = done % rows_per_chunk;
            if (from->whole()) {
                std::copy_n(from->all + begin, run, into);
            } else {
                for (std::size_t k = 0; k < from->offsets.size(); ++k) {
                    if (from->offsets[k] >= begin && from->offsets[k] < begin + run) {
                        into[from->offsets[k] - begin] = from->rows[k];
                    }
                }
            }
        }
        done += run;
    }
    last_row_ = static_cast<std::int32_t>(first + rows);
}

bool ProfileTable::take_rows(ProfileTable& part, bool appended)
{
    const auto holds = [](const Row& row) { return row.fields > 0 || !std::isnan(row.depth_m); };
    if (!appended) {
        // Only a chunk that both hold may hold a row twice.
        for (std::size_t c = 0; c < part.chunks_.size() && c < chunks_.size(); ++c) {
            if (!part.chunks_[c] || !chunks_[c]) {
                continue;
            }
            const auto base = static_cast<std::int32_t>(c * rows_per_chunk);
            bool twice = false;
            part.for_each_stored_row(base + 1, base + static_cast<std::int32_t>(rows_per_chunk),
                                     [&](std::int32_t row, const Row& stored) {
                                         twice = holds(stored) && holds(row_at(row));
                                         return !twice;
                                     });
            if (twice) {
                part.clear();
                return false;
            }
        }
    }
    const std::int32_t shift = appended ? last_row_ : 0;
    if (appended) {
        append_rows_of(part);
    } else {
        for (std::size_t c = 0; c < part.chunks_.size() && c < chunks_.size(); ++c) {
            if (!part.chunks_[c]) {
                continue;
            }
            if (!chunks_[c]) {
                chunks_[c] = std::move(part.chunks_[c]);
                continue;
            }
            const auto base = static_cast<std::int32_t>(c * rows_per_chunk);
            part.for_each_stored_row(base + 1, base + static_cast<std::int32_t>(rows_per_chunk),
                                     [&](std::int32_t row, const Row& stored) {
                                         if (holds(stored)) {
                                             row_for_storing(row) = stored;
                                         }
                                         return true;
                                     });
        }
    }
    filled_rows_ += part.filled_rows_;
    computed_depths_ = computed_depths_ || part.computed_depths_;
    for (const auto& [row, rule] : part.row_rules_) {
        row_rules_.insert_or_assign(row + shift, rule);
    }
    for (const auto& [place, rule] : part.sample_rules_) {
        sample_rules_.insert_or_assign({place.first, place.second + shift}, rule);
    }
    // The part's texts stay where they are: its blocks go before the one this table fills.
    text_blocks_.reserve(text_blocks_.size() + part.text_blocks_.size());
    std::optional<Block> filling;
    if (!text_blocks_.empty()) {
        filling.emplace(std::move(text_blocks_.back()));
        text_blocks_.pop_back();
    }
    for (Block& block : part.text_blocks_) {
        text_blocks_.push_back(std::move(block));
    }
    if (filling) {
        text_blocks_.push_back(std::move(*filling));
    }
    part.text_blocks_.clear();
    part.clear();
    return true;
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
    computed_depths_ = false;
}

void ProfileTable::store_computed_depth(std::int32_t row, double exact_m)
{
    check(last_column_, row);
    row_for_storing(row).depth_m = exact_m;
    computed_depths_ = true;
}

std::int32_t ProfileTable::append_row(std::span<const std::string_view> fields)
{
    if (!has_shape() || last_row_ == std::numeric_limits<std::int32_t>::max()) {
        throw Error(ErrorKind::subscript_out_of_range, "the profile table takes no more rows");
    }
    const std::size_t count = std::min(fields.size(), static_cast<std::size_t>(last_column_));
    std::size_t size = count == 0 ? 0 : count - 1;
    for (const std::string_view field : fields.first(count)) {
        size += field.size();
    }
    if (size > std::numeric_limits<std::uint32_t>::max()) {
        throw Error(ErrorKind::out_of_memory,
                    "a data line of " + std::to_string(size) + " bytes is too long to store");
    }
    // Written where it will stay, and taken back when a field turns out to hold a blank.
    char* const text = allocate_text(size);
    char* at = text;
    for (std::size_t k = 0; k < count; ++k) {
        if (k > 0) {
            *at++ = ' ';
        }
        copy_short(at, fields[k]);
        at += fields[k].size();
    }
    // One count of the row's blanks rather than a search in each field.
    if (blanks_in({text, size}) + 1 != std::max<std::size_t>(count, 1)) {
        block_used_ -= size;
        const auto with_blank = std::ranges::find_if(
            fields, [](std::string_view field) { return field.find(' ') != std::string_view::npos; });
        throw Error(ErrorKind::bad_data_file, "the value " + quoted(*with_blank) + " holds a blank");
    }
    const std::int32_t row = add_row();
    Row& stored = row_for_storing(row);
    stored.text = text;
    stored.size = static_cast<std::uint32_t>(size);
    stored.fields = static_cast<std::int32_t>(count);
    if (count > 0) {
        ++filled_rows_;
    }
    return row;
}

} // namespace quillonde
