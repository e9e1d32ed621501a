// What the file system can do to a load or an export: folders that vanish, read-only targets,
// symbolic links, hand-typed paths, casts that change while they are read, a disk that fills up.
// CI runs these as root, so none relies on a permission that root would override.

#include "profile/output_file.h"

#include "error_matchers.h"
#include "handler_fixture.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/resource.h>

namespace quillonde {
namespace {

namespace fs = std::filesystem;
using testing::error_of;
using testing::FakeControls;
using testing::folder_entries;
using testing::read_file;
using testing::TempDir;
using Names = std::vector<std::string>;

const std::string sva_start = ".profile  1\r\n\r\n";

/// A cast of `rows` rows with every column the export needs, 1 dbar deeper on each row, that
/// declares `declared` rows (as many as it has when 0).
std::string make_cast(int rows, int declared = 0)
{
    std::string cast = "Lines : " + std::to_string(declared > 0 ? declared : rows) +
                       "\n; Datasets Press Temp Cond SALIN SOUND\n";
    for (int row = 1; row <= rows; ++row) {
        cast += std::to_string(row) + " " + std::to_string(row) + ".0 10.5 40.1 35.2 1490.1\n";
    }
    return cast;
}

void append(const std::string& path, std::string_view text)
{
    std::ofstream(path, std::ios::binary | std::ios::app)
        .write(text.data(), static_cast<std::streamsize>(text.size()));
}

class Fault : public testing::GoingOnTest {
protected:
    LoadOutcome load_from(const std::string& path)
    {
        controls.process_events_calls = 0; // the hooks count the event rounds of one load
        return load_path(path);
    }

    /// Loads a small cast and exports it to `path`.
    ExportOutcome export_to(const std::string& path)
    {
        load_from(dir.write("cast.TOB", make_cast(3)));
        return export_path(path);
    }

    Error export_error(const std::string& path)
    {
        return error_of([&] { export_to(path); });
    }

    /// Whether row `row` holds the line of that row in make_cast(), depth included.
    bool row_is_whole(std::int32_t row) const
    {
        const std::string number = std::to_string(row);
        return state.g_table.cell(0, row).as_text() == number &&
               state.g_table.cell(1, row).as_text() == number + ".0" &&
               state.g_table.cell(5, row).as_text() == "1490.1" && !state.g_table.cell(6, row).is_empty();
    }
};

/// The three rows of make_cast(3), exported.
const std::string small_profile = sva_start + "1\t1490.1\t10.5\t35.2\t40.1\t\r\n"
                                              "2\t1490.1\t10.5\t35.2\t40.1\t\r\n"
                                              "3.1\t1490.1\t10.5\t35.2\t40.1\t\r\n";

TEST_F(Fault, AFolderThatVanishesBeforeTheRenameLeavesNothingBehind)
{
    const fs::path survey = dir.path() / "survey";
    const std::string target = (survey / "profile.sva").string();
    for (const bool recreated : {false, true}) {
        fs::create_directory(survey);
        {
            OutputFile file(target);
            file.write(small_profile);
            fs::remove_all(survey);
            if (recreated) { // a sync tool puts an empty folder back under the same name
                fs::create_directory(survey);
            }
            const Error error = error_of([&] { file.commit(); });
            EXPECT_EQ(error.kind(), ErrorKind::path_not_found);
            EXPECT_EQ(error.what(), "Path not found: the folder of \"" + target + "\" no longer exists");
        } // the writer is destroyed after the failed commit without trouble
        EXPECT_EQ(fs::exists(survey), recreated);
        if (recreated) {
            EXPECT_TRUE(folder_entries(survey).empty());
            fs::remove(survey);
        }
    }
    EXPECT_TRUE(folder_entries(dir.path()).empty());
}

TEST_F(Fault, AReadOnlyTargetIsRefusedAndKept)
{
    // Refused by its mode bits, which root cannot write past by accident either.
    const std::string target = dir.write("profile.sva", "the old profile");
    const fs::perms read_only = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    fs::permissions(target, read_only);
    const Error error = export_error(target);
    EXPECT_EQ(error.kind(), ErrorKind::permission_denied);
    EXPECT_EQ(error.what(), "Permission denied: \"" + target + "\" is read-only");
    EXPECT_EQ(read_file(target), "the old profile");
    EXPECT_EQ(fs::status(target).permissions(), read_only);
    EXPECT_EQ(folder_entries(dir.path()), (Names{"cast.TOB", "profile.sva"}));
    EXPECT_EQ(controls.captions.at(Label::Label6), "-");

    // Made writable, it is replaced and keeps the mode it had.
    const fs::perms owner_only = fs::perms::owner_read | fs::perms::owner_write;
    fs::permissions(target, owner_only);
    export_to(target);
    EXPECT_EQ(read_file(target), small_profile);
    EXPECT_EQ(fs::status(target).permissions(), owner_only);
}

// A link is followed, as a text editor follows it: "current.sva" pointing at the dated file of
// the day is a common way of handing a profile to the echo sounder.
TEST_F(Fault, ASymbolicLinkIsFollowedAndTheFileItNamesReplaced)
{
    fs::create_directory(dir.path() / "profiles");
    const std::string dated = dir.write("profiles/2024-06-01.sva", "the old profile");
    fs::permissions(dated, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("profiles/2024-06-01.sva", dir.path() / "current.sva"); // relative to its folder
    fs::create_symlink(dir.path() / "current.sva", dir.path() / "latest.sva"); // a link to a link

    for (const char* link : {"current.sva", "latest.sva"}) {
        fs::permissions(dated, fs::perms::owner_read | fs::perms::owner_write);
        append(dated, "x");
        EXPECT_TRUE(export_to(dir.file(link)).written) << link;
        EXPECT_EQ(read_file(dated), small_profile) << link;
        EXPECT_EQ(fs::status(dated).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    }
    EXPECT_EQ(fs::read_symlink(dir.path() / "current.sva"), "profiles/2024-06-01.sva");
    EXPECT_EQ(fs::read_symlink(dir.path() / "latest.sva"), dir.path() / "current.sva");

    // A link to a file that does not exist yet creates that file.
    fs::create_symlink("profiles/2024-06-02.sva", dir.path() / "next.sva");
    export_to(dir.file("next.sva"));
    EXPECT_EQ(read_file(dir.file("profiles/2024-06-02.sva")), small_profile);
    EXPECT_TRUE(fs::is_symlink(dir.path() / "next.sva"));
    EXPECT_EQ(folder_entries(dir.path() / "profiles"), (Names{"2024-06-01.sva", "2024-06-02.sva"}));
}

TEST_F(Fault, ALinkThatLeadsNowhereWritableIsRefused)
{
    fs::create_symlink("loop-b.sva", dir.path() / "loop-a.sva");
    fs::create_symlink("loop-a.sva", dir.path() / "loop-b.sva");
    Error error = export_error(dir.file("loop-a.sva"));
    EXPECT_EQ(error.kind(), ErrorKind::path_not_found);
    EXPECT_EQ(error.what(), "Path not found: \"" + dir.file("loop-a.sva") + "\": too many symbolic links");

    fs::create_symlink("no such folder/profile.sva", dir.path() / "lost.sva");
    EXPECT_ERROR_KIND(export_to(dir.file("lost.sva")), path_not_found);

    fs::create_directory(dir.path() / "folder");
    fs::create_symlink("folder", dir.path() / "folder.sva");
    error = export_error(dir.file("folder.sva"));
    EXPECT_EQ(error.kind(), ErrorKind::permission_denied);
    EXPECT_EQ(error.what(), "Permission denied: \"" + dir.file("folder.sva") + "\" is a folder, not a file");

    const std::string locked = dir.write("locked.sva", "the old profile");
    fs::permissions(locked, fs::perms::owner_read);
    fs::create_symlink("locked.sva", dir.path() / "to-locked.sva");
    EXPECT_ERROR_KIND(export_to(dir.file("to-locked.sva")), permission_denied);
    EXPECT_EQ(read_file(locked), "the old profile");

    EXPECT_TRUE(folder_entries(dir.path() / "folder").empty());
    EXPECT_EQ(folder_entries(dir.path()), (Names{"cast.TOB", "folder", "folder.sva", "locked.sva",
                                                 "loop-a.sva", "loop-b.sva", "lost.sva", "to-locked.sva"}));
}

TEST_F(Fault, HandTypedPathsAreTakenByteForByte)
{
    // Blanks, UTF-8 letters and a Latin-1 byte that is no UTF-8: Linux names are bytes.
    const fs::path folder = dir.path() / "Messfahrt Ostsee \xE2\x80\x93 S\xC3\xBC\x64";
    fs::create_directory(folder);
    const std::string latin1 = (folder / "Stra\xDF\x65 2.TOB").string();
    std::ofstream(latin1, std::ios::binary) << make_cast(3);
    EXPECT_EQ(load_from(latin1), LoadOutcome::loaded);

    // A missing file or folder is named in the message exactly as typed, a trailing blank included.
    const std::string typed = (folder / "Profil Nr 1 \xC3\x96resund.TOB ").string();
    Error error = error_of([&] { load_from(typed); });
    EXPECT_EQ(error.kind(), ErrorKind::file_not_found);
    EXPECT_EQ(error.what(), "File not found: \"" + typed + "\"");
    const std::string nowhere = (folder / "S\xC3\xBC\x64 2" / "Profil.sva").string();
    error = export_error(nowhere);
    EXPECT_EQ(error.kind(), ErrorKind::path_not_found);
    EXPECT_EQ(error.what(), "Path not found: \"" + nowhere + "\": the folder \"" +
                                (folder / "S\xC3\xBC\x64 2").string() + "\" does not exist");

    // A path that runs through a file, or names a folder.
    const std::string cast = dir.write("cast.TOB", make_cast(3));
    EXPECT_ERROR_KIND(load_from(cast + "/"), path_not_found);
    EXPECT_ERROR_KIND(load_from(cast + "/x.TOB"), path_not_found);
    EXPECT_ERROR_KIND(load_from(folder.string() + "/"), file_not_found);
    EXPECT_ERROR_KIND(export_to(cast + "/x.sva"), path_not_found);
    EXPECT_ERROR_KIND(export_to(folder.string() + "/"), permission_denied);
    EXPECT_EQ(read_file(cast), make_cast(3));
}

// A cast still being written by the acquisition software: its unfinished last line fails naming
// that line; the rows before it stay.
TEST_F(Fault, ACastStillBeingWrittenFailsAtItsUnfinishedLine)
{
    const std::string small = dir.write("small.TOB", make_cast(3, 4));
    controls.on_process_events = [&](FakeControls& window) {
        if (window.process_events_calls == 3) {
            append(small, "4 4.0 10");
        }
        return true;
    };
    const Error error = error_of([&] { load_from(small); });
    EXPECT_STREQ(error.what(),
                 "Subscript out of range at line 6: the line has 3 fields, but the header names 6 columns");
    EXPECT_TRUE(row_is_whole(3));
    EXPECT_TRUE(state.g_table.cell(5, 4).is_empty());
    EXPECT_TRUE(state.g_table.cell(6, 4).is_empty());
}

TEST_F(Fault, AReadErrorNamesTheLineBeingRead)
{
    // Reading this process's memory from address 0 fails as a bad sector would.
    const std::string unreadable = "/proc/self/mem";
    if (!fs::is_regular_file(unreadable)) {
        GTEST_SKIP() << unreadable << " is not there";
    }
    const Error error = error_of([&] { load_from(unreadable); });
    EXPECT_EQ(error.kind(), ErrorKind::io_error);
    EXPECT_STREQ(error.what(),
                 R"(Input/output error at line 1: cannot read "/proc/self/mem": Input/output error)");
    EXPECT_EQ(controls.captions.at(Label::Label6), "-");
}

/// Lets files grow to `bytes` at most while it lives, as a disk with that much room would.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
        saved_handler_ = std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, saved_handler_);
    }

private:
    rlimit saved_{};
    void (*saved_handler_)(int) = nullptr;
};

TEST_F(Fault, ADiskThatFillsUpMidExportLeavesTheOldProfile)
{
    load_from(dir.write("cast.TOB", make_cast(10000)));
    const std::string target = dir.write("profile.sva", "the old profile");
    controls.texts[TextBox::tx_out] = target;
    std::optional<Error> error;
    {
        const FileSizeLimit limit(100000); // the export writes 64 KiB blocks: the second one fails
        error = error_of([&] { export_profile(controls, state); });
    }
    EXPECT_EQ(error->kind(), ErrorKind::io_error);
    EXPECT_EQ(error->where().rfind("table row ", 0), 0U) << error->what();
    EXPECT_NE(std::string(error->what()).find("cannot write \"" + target + "\": File too large"),
              std::string::npos)
        << error->what();
    EXPECT_EQ(read_file(target), "the old profile");
    EXPECT_EQ(folder_entries(dir.path()), (Names{"cast.TOB", "profile.sva"}));
    EXPECT_EQ(controls.captions.at(Label::Label6), "-");

    // With room again, the same export goes through.
    EXPECT_EQ(export_profile(controls, state).profile_lines, 10000);
}

} // namespace
} // namespace quillonde
