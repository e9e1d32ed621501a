#pragma once

#include "formats/cast.h"
#include "profile/profile_rows.h"
#include "profile/sample.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillonde {

class OutputFile;

/// What the program tells of a format: in the file dialogs, the batch tool's help, the README.
struct FormatFacts {
    std::string_view id;       ///< a short name: the batch tool's --format, "tob", "sva"
    std::string_view filter;   ///< a file dialog's filter description: "Sea and Sun *.TOB"
    std::string_view patterns; ///< the filter's name patterns, separated by blanks; the first one's
                               ///< extension names a file of this format: "*.TOB"
    std::string_view title;    ///< who makes or reads such files: "Sea & Sun CTD probes"
    std::string_view content;  ///< what the program reads from it or writes to it
};

/// The extension of a format's files, from its first pattern: ".sva".
std::string_view default_extension(const FormatFacts& facts);

/// The columns that give a row its depth: a sea pressure [dbar], from which the depth is computed
/// for the water the window shows, or else a depth [m] as the file gives it; -1 for none.
struct DepthSource {
    std::int32_t pressure = -1;
    std::int32_t depth = -1;
};

/// How a format's columns reach the profile table, and what the window shows meanwhile. The load
/// implements it; a parser calls it as it reads. Every call may fail, with the line's error.
class CastSink {
public:
    virtual ~CastSink() = default;

    /// What the file says of itself; a parser fills it in as it learns.
    virtual CastInfo& info() = 0;

    /// Of a file that holds many casts, the one to load, counted from 1 in the file's order; 0 for
    /// the format's own choice.
    virtual std::size_t part_wanted() const { return 0; }

    /// The row count the file states, as its text (which need not be a number): shown as it stands.
    virtual void row_count_stated(std::string_view count) = 0;

    /// A header names the table's columns: the table is emptied and takes these columns, whose
    /// depths come from `depth` and whose texts become values by `rules` (one for each column, or
    /// none: every value as the file gives it). Fails when no column gives depths.
    virtual void columns_named(std::vector<CastColumn> columns, DepthSource depth,
                               std::vector<ValueRule> rules) = 0;
    void columns_named(std::vector<CastColumn> columns, DepthSource depth)
    {
        columns_named(std::move(columns), depth, {});
    }

    // A format's rows come one of two ways: numbered (ReaderRules::rows_numbered), into a table of
    // the rows the file states, by rows_stated() and row_read(); or one after the other, by
    // row_appended().

    /// Gives the table the rows 1 to `last_row`, all empty, for a file that states its row count.
    virtual void rows_stated(std::int32_t last_row) = 0;

    /// After the rows of a file that states how many it holds, though they come one after the other:
    /// the load keeps the count, and a file cut short is loaded with a doubt instead of failing.
    virtual void rows_declared(std::int64_t count) = 0;

    /// Stores the first `fields` fields of a data line, `joined` by single blanks as the file writes
    /// them, in row `row` (a later line of the same number replaces them; a shorter one only its
    /// first fields), and the row's depth. Fails when the line has fewer fields than there are columns.
    virtual void row_read(std::int32_t row, std::string_view joined, std::size_t fields) = 0;

    /// Stores a data line as the row after the last, its fields as the file writes them: the table
    /// grows by one row. A field holds no blank; an empty field is a value the file marks as
    /// missing. `note` says what the reader saw of the row as it read it.
    virtual void row_appended(std::span<const std::string_view> fields, RowNote note) = 0;
    void row_appended(std::span<const std::string_view> fields) { row_appended(fields, {}); }
};

/// Reads one file of a format, line by line.
class CastParser {
public:
    virtual ~CastParser() = default;
    /// The next line, without its LF and the CR before it; any other CR stays in the line.
    virtual void line(std::string_view raw) = 0;
    /// After the last line. Fails when the file held no cast.
    virtual void finish() = 0;

    // A long file may be read in two parts at once: this parser reads on, and a rows reader made
    // from it reads the rest of the file into a sink of its own. A rows reader's sink takes rows
    // only: any other call fails, and the rest is read again the usual way.

    /// A parser that reads on from this one's state into `sink`, in a state where every line gives
    /// a row or nothing, and where what it reads changes nothing that this parser's finish() looks
    /// at; nothing in any other state.
    virtual std::unique_ptr<CastParser> rows_reader(CastSink& /*sink*/) const { return nullptr; }
};

/// How much of a format the first bytes of a file show, least first. The reader that sees the most
/// reads the file; of two that see as much, the one the registry lists first.
enum class Evidence {
    none,      ///< nothing of the format
    layout,    ///< the format's layout: lines that its files hold, and others may
    signature, ///< what only the format's files hold where they hold it: its first line, its marker
};

/// A format the program reads casts from.
class CastReader {
public:
    virtual ~CastReader() = default;
    virtual const FormatFacts& facts() const = 0;
    /// How much of this format a file that begins with `head` (its first head_bytes bytes, or all
    /// of a shorter file) shows.
    virtual Evidence recognises(std::string_view head) const = 0;
    /// How the program takes the casts of this format.
    virtual ReaderRules rules() const { return {}; }
    /// A parser for the file at `path`, which feeds `sink`.
    virtual std::unique_ptr<CastParser> parser(CastSink& sink, std::string_view path) const = 0;
};

/// How the program takes a profile file: every line as it stands.
inline constexpr ReaderRules profile_file_rules{RowOrderRule::every_row, true, false, true};

/// Evidence::signature where `seen`, else none: for a reader that knows its files by a marker.
constexpr Evidence signature_if(bool seen) noexcept
{
    return seen ? Evidence::signature : Evidence::none;
}

/// How many bytes of a file a reader is shown to recognise it.
inline constexpr std::size_t head_bytes = 64 * 1024;

/// A format the program writes profiles in.
class ProfileWriter {
public:
    virtual ~ProfileWriter() = default;
    virtual const FormatFacts& facts() const = 0;
    /// Writes `profile`, described by `cast`, into `file`, which is committed by the caller. A file
    /// that fails to take the bytes fails naming the table row of the last line written.
    virtual void write(const Profile& profile, const CastInfo& cast, OutputFile& file) const = 0;

    // What a format asks of the export, so that it asks or refuses before anything is written.

    /// Whether the file states the cast's time (UTC) and position: the export needs both then.
    virtual bool needs_time_and_position() const { return false; }
    /// The most profile lines the format's readers take; 0 for any number.
    virtual std::size_t most_lines() const { return 0; }
    /// Whether the format is read by echo-sounder software that wants the profile as
    /// shape_for_sounder makes it: from 0 m, no depth twice, and extended below the deepest water.
    virtual bool shaped_for_sounder() const { return false; }
    /// Whether the file gives field `field` (of profile_fields) for each line. A writer of depth
    /// and sound speed alone takes casts that give nothing more.
    virtual bool writes_field(std::size_t /*field*/) const { return true; }
    /// Whether a file of a profile of no line, its header alone, is one the format's software has
    /// always been given: the export asks before it writes one. Other formats refuse an empty profile.
    virtual bool writes_header_alone() const { return false; }
    /// Whether a profile of the downcast ends where the thinning ends it, which may be short of the
    /// cast's deepest sample; else it ends with that sample.
    virtual bool ends_where_thinned() const { return false; }
    /// Whether a file of the format holds many casts, to which another may be added.
    virtual bool holds_many_casts() const { return false; }
    /// For a format whose files hold many casts: how many casts the file `bytes` holds, or nothing
    /// when it is not such a file.
    virtual std::optional<std::size_t> casts_held(std::string_view /*bytes*/) const { return std::nullopt; }
    /// For a format whose files hold many casts: what a file that begins with `head`, and whose
    /// casts_held() is nothing, holds instead, in words: "a file of CARIS's version 1".
    virtual std::string foreign_file(std::string_view /*head*/) const { return {}; }
    /// Writes the file `existing`, whose casts_held() is known, with `profile` added as its last
    /// cast; the casts it held stay as they were, byte for byte.
    virtual void write_added(const Profile& profile, const CastInfo& cast, std::string_view existing,
                             OutputFile& file) const;
};

} // namespace quillonde
