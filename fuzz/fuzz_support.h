#pragma once

#include "form/headless_controls.h"
#include "form/state.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillonde::fuzz {

/// Stops the fuzzer with a finding: prints what went wrong and aborts.
[[noreturn]] void fail(std::string_view what);

/// Fails unless `condition` holds.
inline void require(bool condition, std::string_view what)
{
    if (!condition) {
        fail(what);
    }
}

/// The window a cast is loaded in, as the first bytes of a fuzz input set it up:
///   byte 0  bit 0: salt water; bit 1: the water type flips at event round N; bit 2: the window
///           closes at event round N
///   byte 1  N
///   byte 0  bit 3: a small good cast is loaded first, so that the fuzzed one loads over a table;
///           bit 4: a column the export can compute is computed (Yes to that question; every other
///           question is answered Yes, as the batch tool answers it)
///   byte 2  the length of the latitude text (modulo 17), the latitude text after it
/// and the cast after those. Missing bytes count as zero.
class FuzzWindow : public HeadlessControls {
public:
    /// Sets the window up from the front of `input` and returns the rest: the cast.
    std::string_view set_up(std::string_view input);

    /// Whether the input asks for a good cast to be loaded before its own.
    bool load_first() const { return load_first_; }

    bool process_events() override;

private:
    bool flip_water_ = false;
    bool close_ = false;
    bool load_first_ = false;
    int event_round_ = 0;
    int rounds_ = 0;
};

/// A folder of this process's own, removed when the process ends, with the path of a file in it.
std::string scratch_file(std::string_view name);

/// Writes `contents` as the file at `path`, replacing what it held.
void write_file(const std::string& path, std::string_view contents);

/// The whole content of the file at `path`.
std::string read_file(const std::string& path);

/// Checks what must hold of the profile state after any load, whatever the file held: either the
/// table has no shape, or its columns are the named ones plus the depth column, every cell within
/// the bounds can be read, text columns hold blank-free texts, depths are empty or finite, and the
/// count of filled rows is right. Cells outside the bounds must fail as out of range.
void check_table(const ProfileState& state);

/// Loads the cast of a fuzz input in a window set up by the input, into `state`, and checks what
/// must hold afterwards, whether the load failed or not: only quillonde::Error escapes, a failure
/// names its line, the status caption is back to idle, and check_table() holds. Returns false,
/// without loading, when the cast declares a huge table.
bool load_input(std::string_view input, FuzzWindow& window, ProfileState& state);

/// Checks an exported ELAC file: the header, then lines of five numeric fields each followed by
/// a TAB, each field with no more decimals than its column has, CR LF endings, depths strictly
/// rising from 0.5 on; `lines` of them. Of a `profile` file's profile, the depth and the sound speed
/// are the file's own texts, in the file's order.
void check_sva(std::string_view file, std::int32_t lines, bool profile);

/// Whether `text` is a numeric text: optional blanks, optional sign, digits with at most one
/// point and at least one digit, an optional exponent ("e" or "E", optional sign, digits),
/// optional blanks. Written apart from the program's parser, to judge it.
bool is_numeric_text(std::string_view text);

/// `text` without its leading and trailing blanks.
std::string_view strip_blanks(std::string_view text);

/// The value strtod gives for `text` in the "C" locale; the text must be numeric and unblanked.
double c_strtod(const std::string& text);

} // namespace quillonde::fuzz
