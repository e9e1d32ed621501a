// A format is one file and one line in the registry: what is made from the registry offers it.
#include "cli/batch.h"
#include "cli/commands.h"
#include "cli/format_list.h"
#include "formats/registry.h"
#include "formats/tob.h"
#include "profile/output_file.h"
#include "runtime/text.h"

#include "fake_controls.h"
#include "form/loader.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace quillonde {
namespace {

using testing::read_file;
using testing::TempDir;

// A title that fills a line of the help to its last column, and that roff would take for a request
// and an escape.
constexpr FormatFacts toy_cast_facts{
    "toy", "Toy probe *.toy", "*.toy",
    ".toy probes (C:\\TOY), a title that fills the help line to its very last column, and wraps",
    "every column"};
constexpr FormatFacts toy_profile_facts{"toyp", "Toy sounder *.tsv", "*.tsv", "toy sounders",
                                        "depth and sound"};

/// "TOY" on the first line, then comma-separated rows under a title row of column names.
class ToyReader : public CastReader {
public:
    const FormatFacts& facts() const override { return toy_cast_facts; }
    Evidence recognises(std::string_view head) const override
    {
        return signature_if(head.starts_with("TOY\n"));
    }
    std::unique_ptr<CastParser> parser(CastSink& sink, std::string_view) const override
    {
        return std::make_unique<Parser>(sink);
    }

private:
    class Parser : public CastParser {
    public:
        explicit Parser(CastSink& sink) : sink_(sink) {}
        void line(std::string_view raw) override
        {
            if (++lines_ == 1) {
                return;
            }
            const std::vector<std::string_view> fields = split_at(raw, ',');
            if (lines_ == 2) {
                std::vector<CastColumn> columns;
                for (const std::string_view name : fields) {
                    columns.push_back({std::string(name), std::string(name), {}, {}});
                }
                sink_.columns_named(std::move(columns), {0, -1});
                return;
            }
            sink_.row_appended(fields);
        }
        void finish() override {}

    private:
        CastSink& sink_;
        int lines_ = 0;
    };
};

/// "depth sound" lines.
class ToyWriter : public ProfileWriter {
public:
    const FormatFacts& facts() const override { return toy_profile_facts; }
    void write(const Profile& profile, const CastInfo& cast, OutputFile& file) const override
    {
        std::string text = cast.format + "\n";
        for (const ProfileRow& row : profile.rows) {
            text += value_text(row.depth_m, 1) + " " + value_text(row.values[sound_field], 2) + "\n";
        }
        file.write(text);
    }
};

/// `text` with `line` before the first `marker`, and `last` at its end.
std::string with_lines(const std::string& text, std::string_view marker, const std::string& line,
                       const std::string& last)
{
    std::string lines = text;
    return lines.insert(lines.find(marker), line) + last;
}

TEST(Registry, AFormatAddedToItIsOfferedEverywhere)
{
    const std::string before = save_filters().text;
    const std::string opened = open_filters().text; // "...|All casts|*.TOB ...|"
    const std::size_t all_casts = opened.rfind("All casts|");
    // The Reference dialog opens on "All casts": the filter `selected` counts description|patterns pairs.
    const FilterList any = any_cast_filters();
    const std::vector<std::string_view> parts = split_at(any.text, '|');
    ASSERT_GT(parts.size(), std::size_t(2 * any.selected - 2));
    EXPECT_EQ(parts[static_cast<std::size_t>(2 * any.selected - 2)], "All casts");
    const std::string help = cli::formats_help();
    const std::string window_manual = cli::formats_manual(cli::ManualPage::window);
    const std::string batch_manual = cli::formats_manual(cli::ManualPage::batch_tool);
    cli::ProfileOptions profile;
    const std::string no_format = cli::choose_format("toy", "", false, profile);

    const AddedFormat reader(std::make_unique<ToyReader>());
    const AddedFormat writer(std::make_unique<ToyWriter>());
    EXPECT_EQ(open_filters().text, opened.substr(0, all_casts) + "Toy probe *.toy|*.toy|" +
                                       opened.substr(all_casts, opened.size() - all_casts - 1) + " *.toy|");
    EXPECT_TRUE(opened.starts_with("All *.*|*.*|Sea and Sun *.TOB|*.TOB|"));
    EXPECT_EQ(save_filters().text, before + "Toy sounder *.tsv|*.tsv|");
    EXPECT_EQ(
        cli::formats_help(),
        with_lines(help, "Formats written",
                   "  toy       Toy probe *.toy: .toy probes (C:\\TOY), a title that fills the help line "
                   "to its very last\n            column, and wraps\n",
                   "  toyp      Toy sounder *.tsv: toy sounders\n"));
    EXPECT_EQ(cli::formats_manual(cli::ManualPage::window),
              with_lines(window_manual, ".PP\n",
                         ".TP\n.B Toy probe *.toy\n\\&.toy probes (C:\\eTOY), a title that fills the help "
                         "line to its very last column, and wraps\n",
                         ".TP\n.B Toy sounder *.tsv\ntoy sounders\n"));
    EXPECT_EQ(cli::formats_manual(cli::ManualPage::batch_tool),
              with_lines(batch_manual, ".PP\n",
                         ".TP 10\n.B toy\nToy probe *.toy: .toy probes (C:\\eTOY), a title that fills the "
                         "help line to its very last column, and wraps\n",
                         ".TP 10\n.B toyp\nToy sounder *.tsv: toy sounders\n"));
    EXPECT_NE(cli::formats_table().find(
                  "| Toy sounder *.tsv | `toyp` | `*.tsv` | toy sounders | - | depth and sound |"),
              std::string::npos);

    // --format takes its name or its extension, names it among the formats, and refuses --append for it.
    for (const std::string_view name : {"toyp", "tsv", ".TSV"}) {
        profile.format = nullptr;
        EXPECT_EQ(cli::choose_format(name, "", false, profile), "");
        ASSERT_NE(profile.format, nullptr);
        EXPECT_EQ(profile.format->facts().id, "toyp");
    }
    EXPECT_TRUE(
        no_format.starts_with("--format \"toy\" is no format: the formats are sva, asvp, caris (svp), "));
    EXPECT_EQ(cli::choose_format("toy", "", false, profile), no_format + ", toyp (tsv)");
    EXPECT_NE(cli::choose_format(".", "", false, profile), "");
    EXPECT_EQ(cli::choose_format("toyp", "x.sva", false, profile),
              "-o \"x.sva\" names another format than --format toyp");
    EXPECT_TRUE(cli::choose_format("", "x.tsv", true, profile).starts_with("--append adds a cast to a file"));

    // The load's dialog offers it, and a cast of it loads whatever its name.
    TempDir dir;
    testing::FakeControls controls;
    ProfileState state;
    controls.texts[TextBox::tx_ss_file] =
        dir.write("cast.txt", "TOY\nPress,Temp,SALIN,Cond,SOUND\n1,10,35,42,1490\n2,10,35,42,1491\n");
    load_data_file(controls, state);
    EXPECT_EQ(controls.dialog_filters, std::vector<std::string>{"Sea and Sun *.TOB"});
    EXPECT_EQ(controls.list, (std::vector<std::string>{"Press", "Temp", "SALIN", "Cond", "SOUND"}));
    EXPECT_EQ(state.g_table.last_row(), 2);
    EXPECT_EQ(controls.captions.at(Label::Label4), "Number of rows: 2");

    // The batch tool writes it by its extension.
    std::ostringstream out;
    std::ostringstream err;
    const std::atomic<bool> stop{false};
    const cli::Console console{out, err, stop};
    EXPECT_EQ(cli::convert_casts({OptionButton::op_salt, "54"}, {dir.file("cast.txt")}, dir.file("out.tsv"),
                                 false, console),
              cli::RunResult::all_done);
    EXPECT_EQ(read_file(dir.file("out.tsv")), "toy\n1 1490\n2 1491\n");
    // And by --format, naming the output after the input.
    cli::choose_format("toyp", "", false, profile);
    EXPECT_EQ(cli::convert_casts({OptionButton::op_salt, "54"}, {dir.file("cast.txt")}, "", false, console,
                                 profile),
              cli::RunResult::all_done);
    EXPECT_EQ(read_file(dir.file("cast.tsv")), "toy\n1 1490\n2 1491\n");
    EXPECT_EQ(err.str(), "");
}

/// A toy reader that sees `seen` in a file whose head holds `mark`.
class MarkReader : public ToyReader {
public:
    MarkReader(Evidence seen, std::string mark) : seen_(seen), mark_(std::move(mark)) {}
    Evidence recognises(std::string_view head) const override
    {
        return head.find(mark_) != std::string_view::npos ? seen_ : Evidence::none;
    }

private:
    Evidence seen_;
    std::string mark_;
};

// The reader that sees the most of its format in a file's head reads it; of two that see as much,
// the one listed first. A Sea & Sun cast is known by its "; Datasets" line at a line's start.
TEST(Registry, TheReaderThatSeesTheMostReadsTheFile)
{
    const std::string cnv_head = "# nquan = 1\n# name 0 = prDM: Pressure [db]\n*END*\n";
    const std::string tob_head = "Lines : 1\n; Datasets Press\n";
    EXPECT_EQ(reader_for(cnv_head).facts().id, "cnv");
    {
        const AddedFormat strong(std::make_unique<MarkReader>(Evidence::signature, "Press"));
        EXPECT_EQ(reader_for(cnv_head).facts().id, "toy"); // Sea-Bird sees only the layout
        EXPECT_EQ(reader_for(tob_head).facts().id, "tob"); // as much, and listed first
    }
    const AddedFormat weak(std::make_unique<MarkReader>(Evidence::layout, "Press"));
    EXPECT_EQ(reader_for(cnv_head).facts().id, "cnv");
    EXPECT_EQ(reader_for("Press\n").facts().id, "toy");
    EXPECT_EQ(&reader_for("nothing\n"), &reader_for("Lines : 1\n")); // neither: the first one's load

    // An operator's note in a Sea-Bird header is no Sea & Sun row count.
    EXPECT_EQ(reader_for("* Sea-Bird SBE 9 Data File:\n** Lines : 2 bottles fired\n# nquan = 1\n").facts().id,
              "cnv");
    const TobReader tob;
    for (const std::string_view head : {"; Datasets Press", "Lines : 1\n   ; Datasets", "x\r\t; Datasets"}) {
        EXPECT_EQ(tob.recognises(head), Evidence::signature) << head;
    }
    for (const std::string_view head :
         {"Lines : 3\n", "Lines : 3\nx ; Datasets", "** Lines : 2 bottles fired\n"}) {
        EXPECT_EQ(tob.recognises(head), Evidence::none) << head;
    }
}

// The README and the manual pages repeat the registry's lists; where one differs, the test shows what
// to paste in its place.
TEST(Registry, TheReadmeAndTheManualPagesListEveryFormat)
{
    const std::pair<const char*, std::string> lists[] = {
        {"README.md", cli::formats_table()},
        {"docs/quillonde.1", cli::formats_manual(cli::ManualPage::window)},
        {"docs/quillonde-cli.1", cli::formats_manual(cli::ManualPage::batch_tool)},
    };
    for (const auto& [name, list] : lists) {
        const std::string document = read_file(std::string(QUILLONDE_SOURCE_DIR) + "/" + name);
        EXPECT_NE(document.find(list), std::string::npos)
            << name << "'s list of formats is not the registry's; paste this in its place:\n"
            << list;
    }
}

} // namespace
} // namespace quillonde
