#include "fuzz_support.h"

#include "form/export.h"
#include "form/loader.h"
#include "form/water.h"
#include "formats/sva.h"
#include "runtime/cell.h"
#include "runtime/convert.h"
#include "runtime/error.h"
#include "runtime/memory.h"

#include <algorithm>
#include <array>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include <unistd.h>

namespace quillonde::fuzz {

namespace fs = std::filesystem;

namespace {

constexpr int latitude_length_modulus = 17;
// Tables beyond this many rows cost time and memory and test nothing new.
constexpr std::int32_t most_rows = 1 << 16;

constexpr std::string_view good_cast = "Lines : 4\n"
                                       "; Datasets Press Temp Cond SALIN SOUND\n"
                                       "1 0.5 10.5 40.1 35.2 1490.1\n"
                                       "2 1.5 10.4 40.2 35.3 1490.2\n"
                                       "3 2.5 10.3 40.3 35.4 1490.3\n";

// Columns beyond these are checked only at the last one: field_of walks the row from its start,
// so checking every column of a header with thousands of names would cost seconds per input.
constexpr std::int32_t columns_checked = 32;

constexpr std::string_view scratch_prefix = "quillonde-fuzz-";

/// Removes the scratch folders of fuzz processes that have ended: libFuzzer leaves by _Exit,
/// which skips the removal at exit.
void remove_stale_folders(const fs::path& base)
{
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(base, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(scratch_prefix) &&
            !fs::exists("/proc/" + name.substr(scratch_prefix.size()), ec)) {
            fs::remove_all(entry.path(), ec);
        }
    }
}

/// The scratch folder, made on first use and removed when the process ends.
const fs::path& scratch_folder()
{
    static const fs::path folder = [] {
        const fs::path shared_memory = "/dev/shm";
        const fs::path base = fs::is_directory(shared_memory) ? shared_memory : fs::temp_directory_path();
        remove_stale_folders(base);
        fs::path made = base / (std::string(scratch_prefix) + std::to_string(getpid()));
        fs::create_directories(made);
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(scratch_folder(), ignored);
        });
        return made;
    }();
    return folder;
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

/// Expects `action` to fail as out of range.
template <typename Action> void require_outside(Action&& action, std::string_view what)
{
    try {
        action();
    } catch (const Error& error) {
        require(error.kind() == ErrorKind::subscript_out_of_range, what);
        return;
    }
    fail(what);
}

/// Whether loading `cast` could make the loader size a table of more than most_rows rows that the
/// machine's memory would still allow.
bool declares_huge_table(std::string_view cast)
{
    constexpr std::string_view marker = "Lines :";
    for (std::size_t begin = 0; begin < cast.size();) {
        std::size_t end = cast.find('\n', begin);
        if (end == std::string_view::npos) {
            end = cast.size();
        }
        std::string_view line = cast.substr(begin, end - begin);
        begin = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.find(marker) == std::string_view::npos) {
            continue;
        }
        double rows = 0.0;
        if (parse_number(strip_blanks(line.substr(marker.size())), rows) != NumberStatus::ok ||
            !(rows > most_rows + 0.5 && rows < 2147483647.5)) {
            continue;
        }
        const auto whole_rows = static_cast<std::int32_t>(rows);
        if (ProfileTable::bytes_needed(1, whole_rows) <= available_memory_bytes()) {
            return true;
        }
    }
    return false;
}

} // namespace

void fail(std::string_view what)
{
    std::fprintf(stderr, "\n*** FUZZ CHECK FAILED: %.*s\n", static_cast<int>(what.size()), what.data());
    std::abort();
}

std::string_view FuzzWindow::set_up(std::string_view input)
{
    const auto byte = [&](std::size_t i) -> unsigned {
        return i < input.size() ? static_cast<unsigned char>(input[i]) : 0U;
    };
    const unsigned settings = byte(0);
    set_water((settings & 1U) != 0 ? OptionButton::op_salt : OptionButton::op_fresh);
    flip_water_ = (settings & 2U) != 0;
    close_ = (settings & 4U) != 0;
    load_first_ = (settings & 8U) != 0;
    const bool compute = (settings & 16U) != 0;
    set_answerer([compute](const Question& question) {
        return question.kind != QuestionKind::compute_column || compute;
    });
    event_round_ = static_cast<int>(byte(1));
    rounds_ = 0;
    const std::size_t latitude_length = byte(2) % latitude_length_modulus;
    const std::size_t latitude_begin = std::min<std::size_t>(3, input.size());
    set_text(TextBox::tx_lat, input.substr(latitude_begin, latitude_length));
    return input.substr(std::min(input.size(), latitude_begin + latitude_length));
}

bool FuzzWindow::process_events()
{
    ++rounds_;
    if (rounds_ == event_round_) {
        if (flip_water_) {
            set_water(selected(OptionButton::op_salt) ? OptionButton::op_fresh : OptionButton::op_salt);
        }
        if (close_) {
            return false;
        }
    }
    return true;
}

std::string scratch_file(std::string_view name)
{
    return (scratch_folder() / name).string();
}

void write_file(const std::string& path, std::string_view contents)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    require(file != nullptr, "cannot create a scratch file");
    const bool written = std::fwrite(contents.data(), 1, contents.size(), file) == contents.size();
    require(std::fclose(file) == 0 && written, "cannot write a scratch file");
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void check_table(const ProfileState& state)
{
    const ProfileTable& table = state.g_table;
    if (!table.has_shape()) {
        require_outside([&] { table.cell(0, 1); }, "a table without shape gave a cell");
        return;
    }
    const std::int32_t depth_column = state.ccolumns + 1;
    require(state.ccolumns >= 0, "ccolumns is negative");
    require(table.last_column() == depth_column, "the depth column is not ccolumns + 1");
    const std::int32_t last_row = table.last_row();
    // A cast that states its row count has rows; one whose rows follow its header may have none.
    require(last_row >= 1 || (last_row == 0 && table.filled_rows() == 0), "a shaped table has no rows");

    std::int32_t filled = 0;
    for (std::int32_t row = 1; row <= last_row; ++row) {
        const Cell depth = table.cell(depth_column, row);
        require(depth.is_empty() || (depth.kind() == Cell::Kind::number && std::isfinite(depth.as_number())),
                "a depth cell is neither empty nor a finite number");
        const Cell first = table.cell(0, row);
        if (first.is_empty()) {
            require(depth.is_empty(), "a row without texts has a depth");
        } else {
            ++filled;
        }
        const std::int32_t checked = std::min(state.ccolumns, columns_checked);
        for (std::int32_t column = 0; column <= state.ccolumns; ++column) {
            if (column > checked && column != state.ccolumns) {
                continue;
            }
            const Cell cell = table.cell(column, row);
            require(cell.kind() != Cell::Kind::number, "a text column holds a number");
            require(!first.is_empty() || cell.is_empty(), "a row without field 0 holds a field");
            require(cell.as_text().find(' ') == std::string_view::npos, "a field holds a blank");
        }
        if (row == 1 || row == last_row) {
            require_outside([&] { table.cell(depth_column + 1, row); }, "a column past the depth was read");
            require_outside([&] { table.cell(-1, row); }, "column -1 was read");
        }
    }
    require(filled == table.filled_rows(), "filled_rows() miscounts");
    require_outside([&] { table.cell(0, 0); }, "row 0 was read");
    require_outside([&] { table.cell(0, last_row + 1); }, "a row past the last was read");
}

bool load_input(std::string_view input, FuzzWindow& window, ProfileState& state)
{
    const std::string_view cast = window.set_up(input);
    if (declares_huge_table(cast)) {
        return false;
    }
    static const std::string path = scratch_file("cast.TOB");
    window.set_text(TextBox::tx_ss_file, path);
    if (window.load_first()) {
        write_file(path, good_cast);
        HeadlessControls good_window;
        good_window.set_text(TextBox::tx_ss_file, path);
        require(load_data_file(good_window, state) == LoadOutcome::loaded, "the good cast did not load");
    }
    write_file(path, cast);
    // Sea water's latitude is read from the box before the file is opened; a box that cannot give
    // one fails there, named as the box and not as a line of the cast.
    bool latitude_fails = false;
    try {
        window_basis(window);
    } catch (const Error&) {
        latitude_fails = true;
    }
    bool failed = false;
    try {
        require(load_data_file(window, state) != LoadOutcome::nothing_chosen, "the path was not taken");
    } catch (const Error& error) {
        failed = true;
        require(!error.detail().empty(), "an error without a message");
        require(error.kind() == ErrorKind::bad_data_file || error.where().starts_with("line ") ||
                    (latitude_fails && error.where().empty()),
                "a failure in the middle of a file does not name its line");
    }
    require(failed || !latitude_fails, "a load went on past a latitude the box cannot give");
    require(window.caption(Label::Label6) == status_idle, "the status caption was left busy");
    check_table(state);
    return true;
}

void check_sva(std::string_view file, std::int32_t lines, bool profile)
{
    constexpr std::array<std::size_t, 5> decimals = {1, 2, 3, 3, 3};
    require(file.starts_with(sva_header), "the file does not begin with the header");
    file.remove_prefix(sva_header.size());
    std::int32_t count = 0;
    double last_depth_m = 0.0;
    while (!file.empty()) {
        const std::size_t end = file.find("\r\n");
        require(end != std::string_view::npos, "a line does not end in CR LF");
        std::string_view line = file.substr(0, end);
        file.remove_prefix(end + 2);
        require(line.find_first_of("\r\n") == std::string_view::npos, "a line holds a CR or an LF");
        for (std::size_t f = 0; f < decimals.size(); ++f) {
            const std::size_t tab = line.find('\t');
            require(tab != std::string_view::npos, "a line has fewer than five fields");
            const std::string_view field = line.substr(0, tab);
            line.remove_prefix(tab + 1);
            require(is_numeric_text(field) && strip_blanks(field) == field, "a field is not a number");
            // A profile file's own depth and sound speed are written again as they stand.
            if (profile && f < 2) {
                continue;
            }
            require(field != "-0", "a field is -0");
            if (field.find_first_of("eE") == std::string_view::npos) {
                const std::size_t point = field.find('.');
                require(point == std::string_view::npos || field.size() - point - 1 <= decimals[f],
                        "a field has more decimals than its column");
            }
            if (f == 0) {
                const double depth_m = c_strtod(std::string(field));
                require(count == 0 ? depth_m >= 0.5 : depth_m > last_depth_m,
                        "the depths do not rise strictly");
                last_depth_m = depth_m;
            }
        }
        require(line.empty(), "a line has more than five fields");
        ++count;
    }
    require(count == lines, "the file does not hold as many lines as the export reported");
}

bool is_numeric_text(std::string_view text)
{
    text = strip_blanks(text);
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    std::size_t digits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (is_digit(text[i])) {
            ++digits;
        } else if (text[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0) {
        return false;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        const std::size_t exponent_digits =
            static_cast<std::size_t>(
                std::find_if_not(text.begin() + static_cast<std::ptrdiff_t>(i), text.end(), is_digit) -
                text.begin()) -
            i;
        if (exponent_digits == 0) {
            return false;
        }
        i += exponent_digits;
    }
    return i == text.size();
}

std::string_view strip_blanks(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

double c_strtod(const std::string& text)
{
    static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", nullptr);
    char* end = nullptr;
    const double value = strtod_l(text.c_str(), &end, c_locale);
    require(end == text.c_str() + text.size(), "strtod did not read the whole numeric text");
    return value;
}

} // namespace quillonde::fuzz
