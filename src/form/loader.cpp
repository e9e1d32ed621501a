#include "form/loader.h"

#include "depth/formulas.h"
#include "profile/clean_line.h"
#include "profile/sva.h"
#include "profile/text_file.h"
#include "runtime/cell.h"
#include "runtime/convert.h"
#include "runtime/error.h"
#include "runtime/memory.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillonde {

namespace {

constexpr std::string_view row_count_marker = "Lines :";
constexpr std::string_view header_marker = "; Datasets";
constexpr std::string_view row_count_caption = "Number of rows:";
constexpr std::string_view header_row_count_caption = "Number of rows: ";
constexpr std::size_t shortest_line = 5; // shorter cleaned lines carry nothing
// About what one entry of List1 costs the window; bounds the width of a header.
constexpr std::uint64_t list_entry_bytes = 256;

std::string_view trim_blanks(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string line_place(std::uint64_t line_number)
{
    return "line " + std::to_string(line_number);
}

/// The working values of one load; they start empty with every click.
class Load {
public:
    Load(Controls& controls, ProfileState& state, std::string path)
        : controls_(controls), state_(state), path_(std::move(path))
    {
    }

    LoadOutcome run(int file);

private:
    void handle_line(std::string_view raw);
    void handle_header();
    void handle_data_line(std::size_t fields);
    void handle_units(std::string_view raw);
    /// Notes in the load record that the load stopped with `error`, when the table is this load's.
    const Error& failed(const Error& error);

    Controls& controls_;
    ProfileState& state_;
    std::string path_;
    std::optional<std::string> row_count_; // empty until a "Lines :" line
    bool header_seen_ = false;
    bool units_may_follow_ = false; // the line before was a header line
    std::int32_t press_col_ = 0;    // column 0 while no header has named "Press"
    bool owns_table_ = false;       // a header of this load has made the table: its failures are the table's
    std::string cleaned_;
    std::uint64_t line_number_ = 0;
};

LoadOutcome Load::run(int file)
{
    // The window's event rounds also come within a long line and while a pipe keeps silent.
    LineReader reader(file, path_, [this] { return controls_.process_events(); });
    // A stop (the window closing, a signal) may come between lines, within one, or at the end.
    const auto stop = [this] {
        state_.last_load.stopped = header_seen_;
        return LoadOutcome::stopped;
    };
    for (;;) {
        try {
            ++line_number_; // before reading: a read that fails names the line it was to give
            if (reader.at_end()) {
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
            handle_line(line);
        } catch (const Error& error) {
            throw failed(error.at(line_place(line_number_)));
        } catch (const std::bad_alloc&) {
            throw failed(
                Error(ErrorKind::out_of_memory, "no memory left to read the file", line_place(line_number_)));
        }
    }
    if (!header_seen_) {
        throw Error(ErrorKind::bad_data_file, quoted(path_, std::string_view::npos) +
                                                  " has no header line (\"" + std::string(header_marker) +
                                                  " ...\"), so it holds no cast");
    }
    return LoadOutcome::loaded;
}

const Error& Load::failed(const Error& error)
{
    if (owns_table_ && state_.last_load.failed_line == 0) {
        state_.last_load.failed_line = line_number_;
        state_.last_load.failure = error.what();
    }
    return error;
}

void Load::handle_line(std::string_view raw)
{
    const LineFacts facts = clean_line(raw, cleaned_);
    const bool after_header = std::exchange(units_may_follow_, false);
    if (facts.capital_l && raw.find(row_count_marker) != std::string_view::npos) {
        // The count stands after the marker only when the line begins with it; the 8th character
        // on is taken either way.
        row_count_ = std::string(trim_blanks(raw.substr(row_count_marker.size())));
        controls_.set_caption(Label::Label4, std::string(row_count_caption) + *row_count_);
    }
    if (cleaned_.size() < shortest_line) {
        return;
    }
    if (facts.semicolon && cleaned_.find(header_marker) != std::string::npos) {
        handle_header();
        return;
    }
    if (facts.semicolon && cleaned_.front() == ';') {
        if (after_header) {
            handle_units(raw);
        }
        return;
    }
    handle_data_line(facts.fields);
}

void Load::handle_header()
{
    std::string names_text;
    names_text.reserve(cleaned_.size());
    for (const char c : cleaned_) {
        if (c != ';') {
            names_text += c;
        }
    }
    // A ";" that stood alone leaves two blanks behind: an empty name.
    const std::string_view names_line = trim_blanks(names_text);
    std::vector<std::string_view> names;
    for (std::size_t begin = 0;;) {
        const std::size_t blank = names_line.find(' ', begin);
        names.push_back(names_line.substr(begin, blank - begin));
        if (blank == std::string_view::npos) {
            break;
        }
        begin = blank + 1;
    }

    const std::uint64_t memory = available_memory_bytes();
    if (names.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max() - 1) ||
        names.size() * list_entry_bytes > memory) {
        throw Error(ErrorKind::out_of_memory, "the header names " + std::to_string(names.size()) +
                                                  " columns, more than memory can hold");
    }
    // From here on the table belongs to this header, even when it cannot be sized: the old rows
    // must not stand under the new names.
    state_.g_table.clear();
    state_.last_load = LoadRecord{};
    state_.last_load.cast_path = path_;
    owns_table_ = true;
    state_.ccolumns = static_cast<std::int32_t>(names.size()) - 1;
    bool press_named = false;
    for (std::size_t k = 0; k < names.size(); ++k) {
        controls_.list_add(names[k]);
        // Acquisition software appends raw-count channels under the same name: the first "Press"
        // is the one in decibar.
        if (!press_named && names[k] == pressure_name) {
            press_col_ = static_cast<std::int32_t>(k);
            state_.last_load.press_col = press_col_;
            press_named = true;
        }
    }
    controls_.set_caption(Label::Label4, std::string(header_row_count_caption) + row_count_.value_or(""));

    // Without it the row numbers would pass for pressures: a plausible, wrong profile.
    if (!press_named) {
        throw Error(ErrorKind::bad_data_file, "the header line names no \"" + std::string(pressure_name) +
                                                  "\" column, so the cast gives no depths");
    }
    if (!row_count_) {
        throw Error(ErrorKind::subscript_out_of_range,
                    "no \"" + std::string(row_count_marker) +
                        "\" line came before the header line, so the table has no rows");
    }
    const std::int32_t rows = with_subject("the row count", [&] { return str_to_long(*row_count_); });
    state_.g_table.resize(state_.ccolumns + 1, rows, memory);
    header_seen_ = true;
    units_may_follow_ = true;
}

void Load::handle_units(std::string_view raw)
{
    // ";            [ dbar]  [ degC] ...": one unit for each name after "Datasets".
    std::vector<std::string> units(1);
    for (std::size_t open = raw.find('['); open != std::string_view::npos; open = raw.find('[', open)) {
        const std::size_t close = raw.find(']', open);
        if (close == std::string_view::npos) {
            return;
        }
        units.emplace_back(trim_blanks(raw.substr(open + 1, close - open - 1)));
        open = close;
    }
    if (units.size() == static_cast<std::size_t>(state_.ccolumns) + 1) {
        state_.last_load.units = std::move(units);
    }
}

void Load::handle_data_line(std::size_t fields)
{
    if (!header_seen_) {
        return;
    }
    const std::string_view line = cleaned_;
    const std::string_view field0 = field_of(line, 0);
    // Field 0 must be above 0; a text that is not a number counts as above any number, and then
    // fails as a row number.
    double number = 0.0;
    const bool numeric = parse_number(field0, number) == NumberStatus::ok;
    if (numeric && !(number > 0.0)) {
        return;
    }
    const std::int32_t row = numeric && number < 2147483647.5
                                 ? static_cast<std::int32_t>(round_half_even(number))
                                 : with_subject("row number", [&] { return str_to_long(field0); });

    // Fields 0 to ccolumns go into the table; more are left out.
    const auto wanted = static_cast<std::size_t>(state_.ccolumns) + 1;
    const std::size_t count = std::min(fields, wanted);
    state_.g_table.store_texts(row, count == fields ? line : first_fields(line, count),
                               static_cast<std::int32_t>(count));
    if (count < wanted) {
        throw Error(ErrorKind::subscript_out_of_range, "the line has " + std::to_string(count) +
                                                           " fields, but the header names " +
                                                           std::to_string(wanted) + " columns");
    }
    // The pressure is the text just stored in the pressure column, as the table holds it.
    const auto pressure_cell = [&] {
        const auto column = static_cast<std::size_t>(press_col_);
        return column < count ? Cell::text(field_of(line, column)) : state_.g_table.cell(press_col_, row);
    };

    // The water type and the latitude as the window shows them now, read afresh for every line.
    if (controls_.selected(OptionButton::op_fresh)) {
        const double pressure_dbar =
            with_subject("pressure", [&] { return cell_to_double(pressure_cell()); });
        state_.g_table.store_depth(row, fresh_con(pressure_dbar));
        state_.last_load.depth_computed({false, 0});
    }
    if (controls_.selected(OptionButton::op_salt)) {
        const std::string latitude = controls_.text(TextBox::tx_lat);
        const double pressure_dbar =
            with_subject("pressure", [&] { return cell_to_double(pressure_cell()); });
        const std::int32_t latitude_deg = with_subject("latitude", [&] { return str_to_long(latitude); });
        state_.g_table.store_depth(row, salt_con(latitude_deg, pressure_dbar));
        state_.last_load.depth_computed({true, latitude_deg});
    }
}

} // namespace

LoadOutcome load_data_file(Controls& controls, ProfileState& state)
{
    controls.dialog_set_filter(DialogFilter::sea_and_sun);
    controls.dialog_show(DialogMode::open);
    if (!controls.dialog_file_name().empty()) {
        controls.set_text(TextBox::tx_ss_file, controls.dialog_file_name());
    }
    std::string path = controls.text(TextBox::tx_ss_file);
    if (path.empty()) {
        return LoadOutcome::nothing_chosen;
    }
    const Descriptor file = open_for_reading(path);
    controls.list_clear();
    controls.set_caption(Label::Label6, status_working);
    try {
        const LoadOutcome outcome = Load(controls, state, std::move(path)).run(file.get());
        controls.set_caption(Label::Label6, status_idle);
        return outcome;
    } catch (...) {
        controls.set_caption(Label::Label6, status_idle);
        throw;
    }
}

} // namespace quillonde
