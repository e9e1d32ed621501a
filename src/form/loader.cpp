#include "form/loader.h"

#include "form/steps.h"
#include "form/water.h"
#include "formats/registry.h"
#include "formats/text_cast.h"
#include "profile/clean_line.h"
#include "profile/profile_rows.h"
#include "profile/text_file.h"
#include "runtime/convert.h"
#include "runtime/error.h"
#include "runtime/memory.h"
#include "runtime/text.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include <sys/stat.h>

namespace quillonde {

namespace {

constexpr std::string_view row_count_caption = "Number of rows:";
constexpr std::string_view header_row_count_caption = "Number of rows: ";
// About what one entry of List1 costs the window; bounds the width of a header.
constexpr std::uint64_t list_entry_bytes = 256;
// A file is read in two parts at once only after this many rows, and where each part holds at
// least this many bytes.
constexpr std::int32_t rows_before_parts = 4096;
constexpr std::uint64_t smallest_part_bytes = std::uint64_t{256} << 10;
// How far past the middle of a file its later part may begin, at the first line that begins there.
constexpr std::uint64_t longest_line_searched = std::uint64_t{1} << 20;

/// Thrown by the sink of a file's later part at any call but a row's: that part is read again by
/// the load itself.
struct NotARow {};

/// Whether `line` holds records that each end in a CR alone, the last one too.
bool ends_in_cr_records(std::string_view line)
{
    return line.ends_with('\r') && line.find('\r') + 1 < line.size();
}

std::string line_place(std::uint64_t line_number)
{
    return "line " + std::to_string(line_number);
}

/// The working values of one load; they start empty with every click. The load is the sink of the
/// format's parser: it puts what the parser reads into the table, the list and the labels.
///
/// Where the controls stay as they are, a long file is read in two parts at once: the load reads
/// on, and a second load, on a thread of its own, reads the rest of the file, from a line a little
/// past the middle of what is left, into a table of its own by a rows reader of the parser. Once the
/// load reaches that line, it takes the second load's rows, where the rest of the file gave rows and
/// nothing else and no row is held by both tables; else it reads the rest itself, line by line, as
/// it reads any file.
class Load : public CastSink {
public:
    Load(Controls& controls, ProfileState& state, std::string path)
        : controls_(controls), state_(state), path_(std::move(path)), memory_(available_memory_bytes())
    {
    }

    LoadOutcome run(int file, SystemCalls& calls);

    CastInfo& info() override
    {
        not_a_row();
        return owns_table_ ? state_.cast : pending_;
    }
    std::size_t part_wanted() const override { return state_.part_wanted; }
    void row_count_stated(std::string_view count) override;
    using CastSink::columns_named;
    void columns_named(std::vector<CastColumn> columns, DepthSource depth,
                       std::vector<ValueRule> rules) override;
    void rows_stated(std::int32_t last_row) override;
    void rows_declared(std::int64_t count) override;
    void row_read(std::int32_t row, std::string_view joined, std::size_t fields) override;
    using CastSink::row_appended;
    void row_appended(std::span<const std::string_view> fields, RowNote note) override;

private:
    struct LaterPart;

    /// What a sink call other than a row's does to the file's later part, when it is being read:
    /// the state it was read in is gone. A later part's own sink refuses the call.
    void not_a_row();
    /// Starts reading the later part of the file, from the first line a little past the middle of
    /// what `reader` has still to give, by a rows reader of `parser`; where the file and the load
    /// allow it.
    void start_later_part(LineReader& reader, const CastParser& parser, int file, SystemCalls& calls);
    /// The later part from byte `begins` on, its thread started; nothing when `parser` has no rows
    /// reader in its state.
    std::unique_ptr<LaterPart> later_part(const CastParser& parser, std::uint64_t begins, int file,
                                          SystemCalls& calls);
    /// Reads the lines of `part` to the file's end; on the later part's own thread.
    void read_part(LaterPart& part, int file, SystemCalls& calls) noexcept;
    /// Once `reader` has given the lines before the later part: takes its rows into the table, as
    /// though this load had read its lines; true. False when the load is to read the part itself:
    /// `reader` then reads on.
    bool take_later_part(LineReader& reader);
    /// Fails when a data line of `fields` values has fewer than the table's columns. `noun` names what
    /// the line holds: "fields" of a line split at blanks, "values" of a format's row.
    void check_count(std::size_t fields, std::string_view noun) const;
    /// Stores the depth of `row` from `source`, the text of its depth's source.
    void store_depth(std::int32_t row, std::string_view source);
    /// The value of `text` in `column` by the column's rule; fails naming `subject` when it has none.
    double value_of(std::string_view subject, std::int32_t column, std::string_view text) const;
    /// Notes in the load record that the load stopped with `error`, when the table is this load's.
    const Error& failed(const Error& error);
    /// Leaves out the rows of the table with a value the profile needs that no water can have.
    void leave_out_outside_water();

    Controls& controls_;
    ProfileState& state_;
    std::string path_;
    std::uint64_t memory_;
    CastInfo pending_;                     // what the file says of itself before its first header
    std::optional<std::string> row_count_; // the count the file states, while it states one
    DepthSource depth_;
    bool owns_table_ = false; // a header of this load has made the table: its failures are the table's
    bool appends_ = false;    // rows come one after the other, not by their numbers
    std::int32_t names_listed_ = 0;
    std::vector<ValueRule> rules_; // of the table's columns, from the last header
    WindowWater water_;
    const Water* steady_water_ = nullptr; // of every row, once a row's depth is computed
    std::uint64_t line_number_ = 0;
    std::uint64_t header_line_ = 0;     // the line of the last header, once one came
    std::int32_t rows_before_line_ = 0; // the rows stored before the line in hand
    bool last_ends_in_cr_ = false;      // the line read last holds records ended by a CR each
    bool last_line_ended_ = false;      // the line read last ended in a line end
    std::int32_t rows_stored_ = 0;      // rows stored by this load, for the later part's start
    bool is_part_ = false;              // this load reads a later part: it takes rows only
    // Last, so that its thread has ended before anything else of the load goes.
    std::unique_ptr<LaterPart> later_;
};

/// The later part of a long file, as a second load reads it.
struct Load::LaterPart {
    explicit LaterPart(Controls& controls, const std::string& path) : load(controls, state, path) {}
    LaterPart(const LaterPart&) = delete;
    LaterPart& operator=(const LaterPart&) = delete;
    ~LaterPart()
    {
        given_up = true;
        if (thread.joinable()) {
            thread.join();
        }
    }

    ProfileState state; // its table
    Load load;          // its sink
    std::optional<Water> water;
    std::unique_ptr<CastParser> parser;
    std::uint64_t begins = 0;          // the byte of the file where its first line begins
    std::atomic<bool> given_up{false}; // the load no longer waits for it
    bool stale = false;                // the load's state changed after the part began
    // What it came to, once its thread ended.
    bool whole = false; // every line to the file's end gave a row or nothing
    std::uint64_t lines = 0;
    bool last_ends_in_cr = false;
    bool last_line_ended = false;
    std::thread thread;
};

LoadOutcome Load::run(int file, SystemCalls& calls)
{
    // The window's event rounds also come within a long line and while a pipe keeps silent.
    LineReader reader(
        file, path_, [this] { return controls_.process_events(); }, calls);
    // A stop (the window closing, a signal) may come between lines, within one, or at the end.
    const auto stop = [this] {
        state_.last_load.stopped = owns_table_ && state_.g_table.has_shape();
        return LoadOutcome::stopped;
    };
    std::unique_ptr<CastParser> parser;
    for (;;) {
        try {
            ++line_number_; // before reading: a read that fails names the line it was to give
            rows_before_line_ = state_.g_table.filled_rows();
            if (!parser) {
                const std::string_view head = reader.head(head_bytes);
                if (reader.stopped()) {
                    return stop();
                }
                const CastReader& format = reader_for(head);
                pending_.format = format.facts().id;
                pending_.rules = format.rules();
                parser = format.parser(*this, path_);
            }
            bool at_end = reader.at_end();
            if (at_end && later_ && !reader.stopped()) {
                at_end = take_later_part(reader);
            }
            if (at_end) {
                if (reader.stopped()) {
                    return stop();
                }
                break;
            }
            if (!controls_.process_events()) {
                return stop();
            }
            const std::string_view line = reader.read_line();
            if (reader.stopped()) { // the line is cut short where the stop came
                return stop();
            }
            // Records that end in a CR alone: the last one ends in its CR.
            last_ends_in_cr_ = ends_in_cr_records(line);
            last_line_ended_ = reader.line_ended();
            // Some programs write a UTF-8 byte order mark before the first line; no format holds one.
            parser->line(line_number_ == 1 ? without_byte_order_mark(line) : line);
            if (rows_stored_ == rows_before_parts && !later_) {
                start_later_part(reader, *parser, file, calls);
            }
        } catch (const Error& error) {
            throw failed(error.at(line_place(line_number_)));
        } catch (const std::bad_alloc&) {
            throw failed(
                Error(ErrorKind::out_of_memory, "no memory left to read the file", line_place(line_number_)));
        }
    }
    // Kept, as a file edited by hand may lack the last line end; but a cast still being written
    // looks just the same, its last value cut short, and the export asks first. A file of records
    // that end in a CR alone is one line to the reader, and a CR ends its last record.
    if (owns_table_ && !last_line_ended_ && !last_ends_in_cr_) {
        state_.last_load.unended_line = line_number_ - 1;
    }
    try {
        parser->finish(); // a file cut short may say so only here, after the rows it kept
    } catch (const Error& error) {
        throw failed(error); // the export asks before it writes the rows read
    }
    if (owns_table_ && !state_.g_table.has_shape()) {
        state_.g_table.start_rows(state_.ccolumns + 1); // a header without rows
        state_.g_table.set_rules(rules_);
    }
    leave_out_outside_water();
    if (appends_) {
        controls_.set_caption(Label::Label4, std::string(header_row_count_caption) +
                                                 std::to_string(state_.g_table.last_row()));
    }
    return LoadOutcome::loaded;
}

void Load::not_a_row()
{
    if (is_part_) {
        throw NotARow{};
    }
    if (later_) {
        later_->stale = true;
    }
}

void Load::start_later_part(LineReader& reader, const CastParser& parser, int file, SystemCalls& calls)
{
    // The rows of both parts are stored alike: the depths of a computed water, once for all rows.
    if (is_part_ || !controls_.steady_while_loading() || !owns_table_ || !state_.g_table.has_shape() ||
        (depth_.pressure >= 0 && steady_water_ == nullptr) || std::thread::hardware_concurrency() < 2) {
        return;
    }
    struct stat facts {};
    if (::fstat(file, &facts) != 0 || !S_ISREG(facts.st_mode)) {
        return;
    }
    const std::uint64_t here = reader.offset();
    const auto size = static_cast<std::uint64_t>(facts.st_size);
    if (size < here || size - here < 2 * smallest_part_bytes) {
        return;
    }
    // A little past the middle: the later part's thread starts later, and its table from nothing.
    const std::uint64_t middle = here + (size - here) / 20 * 11;
    std::uint64_t begins = middle;
    for (;;) {
        std::array<char, 4096> bytes{};
        const ssize_t got = calls.pread(file, bytes.data(), bytes.size(), static_cast<off_t>(begins));
        if (got <= 0 || begins - middle > longest_line_searched) {
            return;
        }
        const void* end = std::memchr(bytes.data(), '\n', static_cast<std::size_t>(got));
        if (end != nullptr) {
            begins += static_cast<std::uint64_t>(static_cast<const char*>(end) - bytes.data()) + 1;
            break;
        }
        begins += static_cast<std::uint64_t>(got);
    }
    if (begins >= size) {
        return;
    }
    try {
        later_ = later_part(parser, begins, file, calls);
    } catch (const std::exception&) {
        return; // no memory or no thread for it: the load reads the whole file
    }
    if (later_) {
        reader.end_at(begins);
        // Two threads fill tables: a third would only take turns with them.
        state_.g_table.make_blocks_ahead(false);
    }
}

std::unique_ptr<Load::LaterPart> Load::later_part(const CastParser& parser, std::uint64_t begins, int file,
                                                  SystemCalls& calls)
{
    auto part = std::make_unique<LaterPart>(controls_, path_);
    Load& load = part->load;
    load.is_part_ = true;
    load.owns_table_ = true;
    load.memory_ = memory_;
    load.depth_ = depth_;
    load.rules_ = rules_;
    load.appends_ = appends_;
    if (steady_water_ != nullptr) {
        part->water.emplace(*steady_water_); // its own, which no event round changes
        load.steady_water_ = &*part->water;
    }
    part->state.ccolumns = state_.ccolumns;
    if (appends_) {
        part->state.g_table.start_rows(state_.ccolumns + 1);
    } else {
        part->state.g_table.resize(state_.ccolumns + 1, state_.g_table.last_row(), memory_);
    }
    part->state.g_table.set_rules(rules_);
    part->state.g_table.make_blocks_ahead(false);
    part->parser = parser.rows_reader(load);
    if (!part->parser) {
        return nullptr;
    }
    part->begins = begins;
    part->thread = std::thread([&load, &part = *part, file, &calls] { load.read_part(part, file, calls); });
    return part;
}

void Load::read_part(LaterPart& part, int file, SystemCalls& calls) noexcept
{
    try {
        LineReader reader(
            file, path_, [&part] { return !part.given_up.load(std::memory_order_relaxed); }, calls);
        reader.read_from(part.begins);
        while (!reader.at_end()) {
            const std::string_view line = reader.read_line();
            if (reader.stopped() || part.given_up.load(std::memory_order_relaxed)) {
                return;
            }
            ++part.lines;
            part.last_ends_in_cr = ends_in_cr_records(line);
            part.last_line_ended = reader.line_ended();
            part.parser->line(line);
        }
        part.whole = !reader.stopped();
    } catch (...) {
        // A line that fails, or that gives more than a row: the load reads the part itself.
    }
}

bool Load::take_later_part(LineReader& reader)
{
    const std::unique_ptr<LaterPart> part = std::move(later_);
    part->thread.join();
    reader.end_at(std::nullopt);
    ProfileTable& table = state_.g_table;
    // Where the table could not hold the rows of both, one of the part's rows fails.
    if (!part->whole || part->stale ||
        (appends_ && ProfileTable::bytes_needed(
                         state_.ccolumns + 1, table.last_row() + part->state.g_table.last_row()) > memory_) ||
        !table.take_rows(part->state.g_table, appends_)) {
        return false;
    }
    line_number_ += part->lines;
    rows_before_line_ = table.filled_rows();
    last_ends_in_cr_ = part->last_ends_in_cr;
    last_line_ended_ = part->last_line_ended;
    return true;
}

const Error& Load::failed(const Error& error)
{
    // A header the load refuses names no columns: its words are not left in the list as names.
    if (header_line_ == line_number_) {
        controls_.list_clear();
        names_listed_ = 0;
        state_.last_load.names_listed = 0;
    }
    if (owns_table_ && state_.last_load.failed_line == 0) {
        state_.last_load.failed_line = line_number_;
        state_.last_load.failure = error.what();
        // The failed line's own row, stored in part or not at all, is not counted.
        state_.last_load.rows_before_failure = header_line_ == line_number_ ? 0 : rows_before_line_;
        // The rows read before the failure may still be exported, after a question.
        leave_out_outside_water();
    }
    return error;
}

void Load::leave_out_outside_water()
{
    if (!owns_table_ || !state_.g_table.has_shape() || state_.last_load.names_listed == 0) {
        return;
    }
    // The values a profile takes: the first column of each name, as the export finds them, and the
    // columns its depths come from.
    std::vector<RangedColumn> columns;
    for (std::size_t r = 0; r < water_ranges.size(); ++r) {
        const std::string_view name = water_ranges[r].column;
        std::int32_t column = state_.cast.column_named(name);
        if (name == pressure_name) {
            column = state_.last_load.press_col;
        } else if (name == depth_name) {
            column = state_.last_load.depth_col;
        }
        if (column >= 0 && column <= state_.ccolumns) {
            columns.push_back({column, r});
        }
    }
    state_.last_load.outside_water = quillonde::leave_out_outside_water(state_.g_table, columns);
}

void Load::row_count_stated(std::string_view count)
{
    not_a_row();
    row_count_ = std::string(count);
    controls_.set_caption(Label::Label4, std::string(row_count_caption) + *row_count_);
}

void Load::columns_named(std::vector<CastColumn> columns, DepthSource depth, std::vector<ValueRule> rules)
{
    not_a_row();
    rules_ = std::move(rules);
    header_line_ = line_number_;
    if (columns.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max() - 1) ||
        columns.size() * list_entry_bytes > memory_) {
        throw Error(ErrorKind::out_of_memory, "the header names " + std::to_string(columns.size()) +
                                                  " columns, more than memory can hold");
    }
    // From here on the table belongs to this header, even when it cannot be sized: the old rows
    // must not stand under the new names.
    CastInfo described = owns_table_ ? std::move(state_.cast) : std::move(pending_);
    state_.g_table.clear();
    state_.last_load = LoadRecord{};
    steady_water_ = nullptr; // the new record learns the water from its first depth
    state_.last_load.cast_path = path_;
    owns_table_ = true;
    appends_ = false;
    depth_ = depth;
    state_.last_load.press_col = depth.pressure;
    state_.last_load.depth_col = depth.pressure < 0 ? depth.depth : -1;
    state_.ccolumns = static_cast<std::int32_t>(columns.size()) - 1;
    for (const CastColumn& column : columns) {
        controls_.list_add(column.name);
    }
    names_listed_ += static_cast<std::int32_t>(columns.size());
    state_.last_load.names_listed = names_listed_;
    described.columns = std::move(columns);
    state_.cast = std::move(described);
    controls_.set_caption(Label::Label4, std::string(header_row_count_caption) + row_count_.value_or(""));

    // Without it the row numbers would pass for pressures: a plausible, wrong profile.
    if (depth.pressure < 0 && depth.depth < 0) {
        throw Error(ErrorKind::bad_data_file, "the header line names no \"" + std::string(pressure_name) +
                                                  "\" column, so the cast gives no depths");
    }
}

void Load::rows_stated(std::int32_t last_row)
{
    not_a_row();
    state_.g_table.resize(state_.ccolumns + 1, last_row, memory_);
    state_.g_table.set_rules(rules_);
    state_.last_load.rows_declared = last_row;
}

void Load::rows_declared(std::int64_t count)
{
    not_a_row();
    if (owns_table_) {
        state_.last_load.rows_declared = static_cast<std::int32_t>(
            std::clamp<std::int64_t>(count, 0, std::numeric_limits<std::int32_t>::max()));
    }
}

double Load::value_of(std::string_view subject, std::int32_t column, std::string_view text) const
{
    const Sample sample = state_.g_table.rule(column).sample_of(text);
    if (!sample.good()) {
        // The number's own error ("pressure "1,5" is not a number"), or else that the file marks it missing.
        with_subject(subject, [&] { return str_to_double(text); });
        throw Error(ErrorKind::type_mismatch, std::string(subject) + " " + quoted(text) + " is missing");
    }
    return sample.value;
}

void Load::store_depth(std::int32_t row, std::string_view source)
{
    if (depth_.pressure >= 0) {
        if (steady_water_ != nullptr) {
            state_.g_table.store_computed_depth(
                row, steady_water_->exact_depth_m(value_of("pressure", depth_.pressure, source)));
            return;
        }
        // Read as the window's handlers read it: the pressure first, then the water's latitude.
        if (!controls_.selected(OptionButton::op_salt) && !controls_.selected(OptionButton::op_fresh)) {
            return;
        }
        const double pressure_dbar = value_of("pressure", depth_.pressure, source);
        const Water* water = water_.now(controls_);
        if (water != nullptr) {
            state_.g_table.store_computed_depth(row, water->exact_depth_m(pressure_dbar));
            state_.last_load.depth_computed(water->basis());
            // Controls that stay as they are show the same water for every row after.
            if (controls_.steady_while_loading()) {
                steady_water_ = water;
            }
        }
    } else {
        state_.g_table.store_depth(row, value_of("depth", depth_.depth, source));
    }
}

void Load::check_count(std::size_t fields, std::string_view noun) const
{
    // Fields 0 to ccolumns go into the table; more are left out.
    const auto wanted = static_cast<std::size_t>(state_.ccolumns) + 1;
    if (fields < wanted) {
        throw Error(ErrorKind::subscript_out_of_range, "the line has " + std::to_string(fields) + " " +
                                                           std::string(noun) + ", but the header names " +
                                                           std::to_string(wanted) + " columns");
    }
}

void Load::row_read(std::int32_t row, std::string_view joined, std::size_t fields)
{
    ++rows_stored_;
    const auto wanted = static_cast<std::size_t>(state_.ccolumns) + 1;
    const std::size_t count = std::min(fields, wanted);
    state_.g_table.store_texts(row, count == fields ? joined : first_fields(joined, count),
                               static_cast<std::int32_t>(count));
    check_count(fields, "fields");
    // The depth's source is the text just stored, as the table holds it.
    store_depth(row, field_of(joined, static_cast<std::size_t>(depth_.pressure >= 0 ? depth_.pressure
                                                                                    : depth_.depth)));
}

void Load::row_appended(std::span<const std::string_view> fields, RowNote note)
{
    ++rows_stored_;
    if (!appends_) {
        // Before the table takes rows: a first row that fails leaves no table of no rows.
        for (const std::string_view field : fields) {
            if (field.find(' ') != std::string_view::npos) {
                throw Error(ErrorKind::bad_data_file, "the value " + quoted(field) + " holds a blank");
            }
        }
        state_.g_table.start_rows(state_.ccolumns + 1);
        state_.g_table.set_rules(rules_);
        appends_ = true;
    }
    const std::int32_t last_row = state_.g_table.last_row();
    if (last_row == std::numeric_limits<std::int32_t>::max() ||
        ProfileTable::bytes_needed(state_.ccolumns + 1, last_row + 1) > memory_) {
        throw Error(ErrorKind::out_of_memory, "the cast has more rows than memory can hold");
    }
    const std::int32_t row = state_.g_table.append_row(fields);
    check_count(fields.size(), "values");
    if (note.left_out) {
        state_.g_table.leave_out_row(row, *note.left_out);
    }
    // A value the file marks as missing (an empty field) gives the row no depth, as does one that
    // the profile needs.
    const std::string_view source =
        fields[static_cast<std::size_t>(depth_.pressure >= 0 ? depth_.pressure : depth_.depth)];
    if (!note.value_missing && !is_missing_text(source)) {
        store_depth(row, source);
    }
}

} // namespace

LoadOutcome load_data_file(Controls& controls, ProfileState& state, SystemCalls& calls)
{
    // Before the dialog: a latitude that fails or is declined leaves everything as it was.
    if (!latitude_confirmed(controls)) {
        return LoadOutcome::nothing_chosen;
    }
    const FilterList filters = open_filters();
    controls.dialog_set_filter(filters.text, filters.selected);
    controls.dialog_show(DialogMode::open);
    if (!controls.dialog_file_name().empty()) {
        controls.set_text(TextBox::tx_ss_file, controls.dialog_file_name());
    }
    std::string path = controls.text(TextBox::tx_ss_file);
    if (path.empty()) {
        return LoadOutcome::nothing_chosen;
    }
    const Descriptor file = open_for_reading(path, calls);
    controls.list_clear();
    controls.set_caption(Label::Label6, status_working);
    try {
        const LoadOutcome outcome = Load(controls, state, std::move(path)).run(file.get(), calls);
        apply_steps(state);
        controls.set_caption(Label::Label6, status_idle);
        return outcome;
    } catch (...) {
        controls.set_caption(Label::Label6, status_idle);
        throw;
    }
}

} // namespace quillonde
