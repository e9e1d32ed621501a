#include "cli/format_list.h"

#include "formats/registry.h"
#include "runtime/text.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace quillonde::cli {

namespace {

constexpr std::size_t help_width = 100;
constexpr std::size_t help_name_width = 12;

constexpr std::string_view help_read_title =
    "Formats read (recognised by their content, whatever the file's name):\n";
constexpr std::string_view help_written_title =
    "Formats written (chosen by OUTPUT's extension or by --format; the first one for any other):\n";

constexpr std::string_view states_fix_text = "states the cast's time (UTC) and position";
constexpr std::string_view holds_many_text = "holds many casts, one more added as a new section";

constexpr std::string_view manual_title = ".SH FORMATS\n";
constexpr std::string_view window_read_intro =
    "The load dialog's filters: a cast or a profile of these formats is read, recognised by its content "
    "whatever the file's name.\n";
constexpr std::string_view window_written_intro =
    "The export dialog's filters, the first one selected: profiles of these formats.\n";
constexpr std::string_view batch_read_intro =
    "Casts and profiles are read in these formats, recognised by their content whatever the file's "
    "name;\n"
    ".B info \\-\\-json\n"
    "names each by the name in bold.\n";
constexpr std::string_view batch_written_intro = "Profiles are written in these formats, chosen by the "
                                                 "output's extension or by\n"
                                                 ".BR \\-\\-format ;\n"
                                                 "the first one for any other.\n";

/// What the help and the manual pages tell of a writer beyond its facts: what the export and the
/// batch tool's options depend on.
std::string writer_notes(const ProfileWriter& writer)
{
    std::string notes;
    const auto add = [&notes](std::string_view note) { notes.append("; ").append(note); };
    if (writer.needs_time_and_position()) {
        add(states_fix_text);
    }
    if (writer.most_lines() > 0) {
        add("at most " + std::to_string(writer.most_lines()) + " lines");
    }
    if (writer.holds_many_casts()) {
        add(holds_many_text);
    }
    return notes;
}

/// `text` after `first`, in lines of at most help_width columns; the lines after the first begin
/// under the text's first word.
std::string wrapped(const std::string& first, std::string_view text)
{
    std::string lines = first;
    std::size_t line_start = 0;
    bool line_empty = true;
    for (const std::string_view word : split_at(text, ' ')) {
        if (word.empty()) {
            continue;
        }
        if (!line_empty && lines.size() - line_start + 1 + word.size() > help_width) {
            lines += '\n';
            line_start = lines.size();
            lines.append(first.size(), ' ');
            line_empty = true;
        }
        lines.append(line_empty ? "" : " ").append(word);
        line_empty = false;
    }
    return lines + "\n";
}

std::string help_line(const FormatFacts& facts, std::string_view notes)
{
    std::string name = "  " + std::string(facts.id);
    name.resize(std::max(name.size() + 2, help_name_width), ' ');
    return wrapped(name, std::string(facts.filter) + ": " + std::string(facts.title) + std::string(notes));
}

/// `text` as roff takes it as text: a backslash printed, a line that begins with a control
/// character kept as text.
std::string roff_text(std::string_view text)
{
    std::string escaped = text.starts_with('.') || text.starts_with('\'') ? "\\&" : "";
    for (const char c : text) {
        escaped += c == '\\' ? std::string("\\e") : std::string(1, c);
    }
    return escaped;
}

std::string manual_item(ManualPage page, const FormatFacts& facts, std::string_view notes)
{
    if (page == ManualPage::window) {
        return ".TP\n.B " + roff_text(facts.filter) + "\n" +
               roff_text(std::string(facts.title) + std::string(notes)) + "\n";
    }
    return ".TP 10\n.B " + roff_text(facts.id) + "\n" +
           roff_text(std::string(facts.filter) + ": " + std::string(facts.title) + std::string(notes)) + "\n";
}

} // namespace

std::string formats_help()
{
    std::string text = "\n" + std::string(help_read_title);
    for (const CastReader* reader : cast_readers()) {
        text += help_line(reader->facts(), {});
    }
    text += help_written_title;
    for (const ProfileWriter* writer : profile_writers()) {
        text += help_line(writer->facts(), writer_notes(*writer));
    }
    return text;
}

std::string formats_table()
{
    struct Row {
        const FormatFacts* facts = nullptr;
        std::string_view read;
        std::string_view written;
    };
    std::vector<Row> rows;
    const auto row_of = [&](const FormatFacts& facts) -> Row& {
        const auto found = std::ranges::find(rows, facts.id, [](const Row& row) { return row.facts->id; });
        return found != rows.end() ? *found : rows.emplace_back(Row{&facts, {}, {}});
    };
    for (const CastReader* reader : cast_readers()) {
        row_of(reader->facts()).read = reader->facts().content;
    }
    for (const ProfileWriter* writer : profile_writers()) {
        row_of(writer->facts()).written = writer->facts().content;
    }
    const auto cell = [](std::string_view text) {
        return text.empty() ? std::string("-") : std::string(text);
    };
    std::string table = "| format | name | files | made or read by | read from it | written to it |\n"
                        "|---|---|---|---|---|---|\n";
    for (const Row& row : rows) {
        std::string patterns;
        for (const std::string_view pattern : list_items(row.facts->patterns, ' ')) {
            patterns += (patterns.empty() ? "`" : ", `") + std::string(pattern) + "`";
        }
        table += "| " + std::string(row.facts->filter) + " | `" + std::string(row.facts->id) + "` | " +
                 patterns + " | " + std::string(row.facts->title) + " | " + cell(row.read) + " | " +
                 cell(row.written) + " |\n";
    }
    return table;
}

std::string formats_manual(ManualPage page)
{
    const bool window = page == ManualPage::window;
    std::string text = std::string(manual_title) + std::string(window ? window_read_intro : batch_read_intro);
    for (const CastReader* reader : cast_readers()) {
        text += manual_item(page, reader->facts(), {});
    }
    text += ".PP\n" + std::string(window ? window_written_intro : batch_written_intro);
    for (const ProfileWriter* writer : profile_writers()) {
        text += manual_item(page, writer->facts(), writer_notes(*writer));
    }
    return text;
}

} // namespace quillonde::cli
