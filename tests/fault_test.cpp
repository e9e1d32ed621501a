// What the file system can do to a load or an export: folders that vanish, read-only targets,
// symbolic links, hand-typed paths, casts that change while they are read, a disk that fills up,
// and each system call of a load and an export failing, cut short or interrupted in turn.
// CI runs these as root, so none relies on a permission that root would override.

#include "profile/output_file.h"
#include "profile/system_calls.h"
#include "profile/text_file.h"

#include "error_matchers.h"
#include "handler_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <fcntl.h>

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
    LoadOutcome load_from(const std::string& path, SystemCalls& calls = real_system_calls())
    {
        controls.process_events_calls = 0; // the hooks count the event rounds of one load
        return load_path(path, calls);
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
    EXPECT_EQ(error.kind(), ErrorKind::not_a_file);
    EXPECT_EQ(error.what(), "Not a file: \"" + dir.file("folder.sva") + "\" is a folder, not a profile");

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
    EXPECT_ERROR_KIND(load_from(folder.string() + "/"), not_a_file);
    EXPECT_ERROR_KIND(export_to(cast + "/x.sva"), path_not_found);
    EXPECT_ERROR_KIND(export_to(folder.string() + "/"), not_a_file);
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

/// What a faulty call gives instead of its work; `nothing` is a write that takes no bytes.
enum class Injected { eio, enospc, short_count, eintr, nothing };
constexpr std::array<Injected, 4> every_fault = {Injected::eio, Injected::enospc, Injected::short_count,
                                                 Injected::eintr};
constexpr std::array<const char*, 4> fault_names = {"EIO", "ENOSPC", "short count", "EINTR"};

/// The system calls, each noted with what it acts on; the call numbered `faulty` (from 0), and
/// every call whose note starts with `always` when that is given, fails with `fault`, or, for a
/// short count, reads or writes half of what it was asked. Where `unnamed_files` is false, the
/// unnamed file is refused as FAT or NFS refuses it.
class FaultyCalls : public SystemCalls {
public:
    FaultyCalls(std::size_t faulty_call = SIZE_MAX, Injected injected = Injected::eio)
        : faulty(faulty_call), fault(injected)
    {
    }

    std::vector<std::string> made;
    std::size_t faulty;
    Injected fault;
    bool unnamed_files = true;
    std::string always;

    /// How many calls were noted with a note that starts with `call`.
    std::ptrdiff_t count(std::string_view call) const
    {
        return std::ranges::count_if(made, [&](const std::string& note) { return note.starts_with(call); });
    }

    int open(int folder, const char* path, int flags, mode_t mode) override
    {
        if ((flags & O_TMPFILE) == O_TMPFILE && !unnamed_files) {
            errno = EOPNOTSUPP;
            return -1;
        }
        const std::string what = (flags & O_TMPFILE) == O_TMPFILE  ? "unnamed temporary file"
                                 : (flags & O_CREAT) != 0          ? "named temporary file"
                                 : (flags & O_DIRECTORY) != 0      ? "folder"
                                 : (flags & O_ACCMODE) == O_RDONLY ? "cast"
                                                                   : "target (may it be written?)";
        const int descriptor = fails("open " + what) ? -1 : SystemCalls::open(folder, path, flags, mode);
        if (descriptor >= 0) {
            opened_as[descriptor] = what.ends_with("temporary file") ? "temporary file" : what;
        }
        return descriptor;
    }
    ssize_t read(int descriptor, void* bytes, std::size_t count) override
    {
        return fails("read", &count) ? -1 : SystemCalls::read(descriptor, bytes, count);
    }
    ssize_t write(int descriptor, const void* bytes, std::size_t count) override
    {
        if (fails("write", &count)) {
            return fault == Injected::nothing ? 0 : -1;
        }
        return SystemCalls::write(descriptor, bytes, count);
    }
    int fsync(int descriptor) override
    {
        return fails("fsync " + opened_as[descriptor]) ? -1 : SystemCalls::fsync(descriptor);
    }
    int linkat(int from_folder, const char* from, int to_folder, const char* to, int flags) override
    {
        return fails("linkat") ? -1 : SystemCalls::linkat(from_folder, from, to_folder, to, flags);
    }
    int renameat(int from_folder, const char* from, int to_folder, const char* to) override
    {
        return fails("renameat") ? -1 : SystemCalls::renameat(from_folder, from, to_folder, to);
    }
    int unlinkat(int folder, const char* name, int flags) override
    {
        return fails("unlinkat") ? -1 : SystemCalls::unlinkat(folder, name, flags);
    }
    int close(int descriptor) override
    {
        // The descriptor is gone also when close fails, as on Linux.
        const bool failing = fails("close " + opened_as[descriptor]);
        const int reason = errno;
        const int result = SystemCalls::close(descriptor);
        errno = reason;
        return failing ? -1 : result;
    }

private:
    std::map<int, std::string> opened_as; // what each descriptor was opened as

    /// Notes the call; true when it is to fail, errno set. A short count halves `count` instead.
    bool fails(std::string call, std::size_t* count = nullptr)
    {
        made.push_back(std::move(call));
        if (made.size() - 1 != faulty && (always.empty() || !made.back().starts_with(always))) {
            return false;
        }
        switch (fault) {
        case Injected::short_count:
            if (count != nullptr && *count > 1) {
                *count /= 2;
            }
            return false;
        case Injected::eio: errno = EIO; return true;
        case Injected::enospc: errno = ENOSPC; return true;
        case Injected::eintr: errno = EINTR; return true;
        case Injected::nothing: return true;
        }
        return false;
    }
};

/// One row of the table of calls and outcomes: a call and what each fault of it gave.
struct CallOutcomes {
    std::string call;
    std::array<std::string, every_fault.size()> outcomes;
};

void print_table(std::string_view title, const std::vector<CallOutcomes>& rows)
{
    std::cout << "\n"
              << title << "\n\n| call | EIO | ENOSPC | short count | EINTR |\n|---|---|---|---|---|\n";
    for (const CallOutcomes& row : rows) {
        std::cout << "| " << row.call << " | " << row.outcomes[0] << " | " << row.outcomes[1] << " | "
                  << row.outcomes[2] << " | " << row.outcomes[3] << " |\n";
    }
}

/// The calls in order, each named once more with its number where it comes again ("write 2").
std::vector<std::string> numbered(const std::vector<std::string>& calls)
{
    std::vector<std::string> names;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const auto same = std::count(calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(i), calls[i]);
        names.push_back(same == 0 ? calls[i] : calls[i] + " " + std::to_string(same + 1));
    }
    return names;
}

const std::string written = "written";
const std::string old_kept = "fails, old target kept";
const std::string in_place = "fails, says the new one is in place";
const std::string loaded = "loaded";
const std::string load_fails = "fails";
const std::string not_applicable = "-";

/// What a fault of `call` must give: a short count or an EINTR is carried on, a failure before the
/// rename keeps the old target, one after it says so; a read-only descriptor's close is no failure.
std::string expected_outcome(const std::string& call, Injected fault, bool export_side)
{
    const bool counts = call.starts_with("read") || call.starts_with("write");
    if (fault == Injected::short_count && !counts) {
        return not_applicable;
    }
    if (fault == Injected::short_count || fault == Injected::eintr || call.starts_with("close folder") ||
        call.starts_with("close target") || call.starts_with("close cast")) {
        return export_side ? written : loaded;
    }
    if (!export_side) {
        return load_fails;
    }
    return call.starts_with("fsync folder") ? in_place : old_kept;
}

/// Runs `action` once as it is, then once for each call it made and each fault, that call given
/// that fault; `outcome` says what a run gave from the error it raised and the reason of the fault.
/// Each outcome must be what expected_outcome() says. Returns the table of calls and outcomes.
template <typename Action, typename Outcome>
std::vector<CallOutcomes> sweep(bool unnamed_files, bool export_side, Action action, Outcome outcome)
{
    FaultyCalls clean;
    clean.unnamed_files = unnamed_files;
    action(clean);
    const std::vector<std::string> calls = numbered(clean.made);
    std::vector<CallOutcomes> table;
    for (std::size_t call = 0; call < calls.size(); ++call) {
        CallOutcomes row;
        row.call = calls[call];
        for (std::size_t f = 0; f < every_fault.size(); ++f) {
            const std::string expected = expected_outcome(calls[call], every_fault[f], export_side);
            row.outcomes[f] = not_applicable;
            if (expected == not_applicable) {
                continue;
            }
            FaultyCalls faulty(call, every_fault[f]);
            faulty.unnamed_files = unnamed_files;
            std::optional<Error> error;
            try {
                action(faulty);
            } catch (const Error& failure) {
                error = failure;
            }
            const auto names = [&](const std::string& text) {
                return error && std::string_view(error->what()).find(text) != std::string_view::npos;
            };
            row.outcomes[f] =
                outcome(error, names, std::strerror(every_fault[f] == Injected::eio ? EIO : ENOSPC));
            EXPECT_EQ(row.outcomes[f], expected) << calls[call] << ", " << fault_names[f];
        }
        table.push_back(std::move(row));
    }
    return table;
}

TEST_F(Fault, EverySystemCallOfAnExportFailsCleanlyOrIsCarriedOn)
{
    load_from(dir.write("cast.TOB", make_cast(3)));
    const std::string target = dir.file("profile.sva");
    for (const bool unnamed_files : {true, false}) {
        const std::vector<CallOutcomes> table = sweep(
            unnamed_files, true,
            [&](SystemCalls& calls) {
                dir.write("profile.sva", "the old profile");
                export_path(target, calls);
            },
            [&](const std::optional<Error>& error, const auto& names,
                const std::string& reason) -> std::string {
                const std::string now = read_file(target);
                return folder_entries(dir.path()) != Names{"cast.TOB", "profile.sva"} ? "leaves a file behind"
                       : !error && now == small_profile                               ? written
                       : names(reason) && now == "the old profile"                    ? old_kept
                       : names(reason) && now == small_profile &&
                               names("the new profile is in place but may not be on the disk yet")
                           ? in_place
                           : "wrong: " + std::string(error ? error->what() : "no error");
            });
        EXPECT_EQ(table.size(), unnamed_files ? 11U : 10U);
        print_table(unnamed_files ? "Export, unnamed temporary file (ext4, XFS, Btrfs, tmpfs)"
                                  : "Export, named temporary file (FAT, exFAT, NFS, SMB)",
                    table);
    }
}

TEST_F(Fault, EverySystemCallOfALoadFailsNamingItsReasonOrIsCarriedOn)
{
    const std::string cast = dir.write("cast.TOB", make_cast(3));
    LoadOutcome outcome = LoadOutcome::nothing_chosen;
    const std::vector<CallOutcomes> table = sweep(
        true, false,
        [&](SystemCalls& calls) {
            state = ProfileState();
            outcome = LoadOutcome::nothing_chosen;
            outcome = load_from(cast, calls);
        },
        [&](const std::optional<Error>& error, const auto& names, const std::string& reason) -> std::string {
            return outcome == LoadOutcome::loaded && row_is_whole(1) && row_is_whole(3) ? loaded
                   : error && error->kind() == ErrorKind::io_error &&
                           names("cannot read \"" + cast + "\": " + reason)
                       ? load_fails
                       : "wrong: " + std::string(error ? error->what() : "no error");
        });
    // open, the reads of the first bytes (the one that meets the end too), the read that meets the
    // end again once the lines are read, close
    EXPECT_EQ(table.size(), 5U);
    EXPECT_EQ(read_file(cast), make_cast(3));
    EXPECT_EQ(folder_entries(dir.path()), Names{"cast.TOB"});
    print_table("Load", table);
}

TEST_F(Fault, ACallThatNeverGetsThroughEndsInAnErrorOrAtAStop)
{
    load_from(dir.write("cast.TOB", make_cast(3)));
    const std::string target = dir.write("profile.sva", "the old profile");
    const Names untouched = {"cast.TOB", "profile.sva"};

    // A write that takes no bytes, time after time, is an error after a bounded number of tries.
    FaultyCalls takes_nothing(SIZE_MAX, Injected::nothing);
    takes_nothing.always = "write";
    EXPECT_EQ(error_of([&] { export_path(target, takes_nothing); }).what(),
              "Input/output error at table row 3: cannot write \"" + target + "\": it takes no bytes");
    EXPECT_EQ(takes_nothing.count("write"), 100);
    EXPECT_EQ(read_file(target), "the old profile");
    EXPECT_EQ(folder_entries(dir.path()), untouched);

    // A call interrupted time after time is made again until a stop is asked for; the stop keeps
    // the old target.
    controls.on_process_events = [](FakeControls& window) { return window.process_events_calls < 50; };
    const std::pair<bool, const char*> calls[] = {
        {true, "open folder"}, {true, "open unnamed"}, {true, "write"},       {true, "fsync temporary file"},
        {true, "linkat"},      {true, "renameat"},     {false, "open named"}, {false, "renameat"}};
    for (const auto& [unnamed_files, call] : calls) {
        SCOPED_TRACE(call);
        FaultyCalls interrupted(SIZE_MAX, Injected::eintr);
        interrupted.always = call;
        interrupted.unnamed_files = unnamed_files;
        controls.process_events_calls = 0;
        EXPECT_TRUE(export_path(target, interrupted).stopped);
        EXPECT_GE(interrupted.count(call), 40);
        EXPECT_EQ(read_file(target), "the old profile");
        EXPECT_EQ(folder_entries(dir.path()), untouched);
    }
    // Also a read.
    FaultyCalls interrupted(SIZE_MAX, Injected::eintr);
    interrupted.always = "read";
    EXPECT_EQ(load_from(dir.file("cast.TOB"), interrupted), LoadOutcome::stopped);
    EXPECT_GE(interrupted.count("read"), 40);
    controls.on_process_events = nullptr;
    load_from(dir.file("cast.TOB"));

    // After the rename a stop changes nothing: the folder's flush is tried a bounded number of
    // times, then the message says what happened.
    FaultyCalls late(SIZE_MAX, Injected::eintr);
    late.always = "fsync folder";
    EXPECT_EQ(error_of([&] { export_path(target, late); }).what(),
              "Input/output error: \"" + target +
                  "\": the new profile is in place but may not be on the disk yet (Interrupted system call)");
    EXPECT_EQ(late.count("fsync folder"), 100);
    EXPECT_EQ(read_file(target), small_profile);
    EXPECT_EQ(folder_entries(dir.path()), untouched);
}

// Where the file system refuses unnamed files, a killed export leaves its temporary file; the
// next export to the same target removes those that no export can still be writing.
TEST_F(Fault, AnExportRemovesTheLeftoversOfKilledOnesOnceAMinuteOld)
{
    load_from(dir.write("cast.TOB", make_cast(3)));
    const auto leftover = [&](const std::string& name, std::chrono::seconds age) {
        dir.write(name, "half a profile");
        fs::last_write_time(dir.path() / name, fs::file_time_type::clock::now() - age);
    };
    using std::chrono::seconds;
    leftover(".profile.sva.k3x9q2ab.tmp", seconds(120));
    leftover(".profile.sva.0000zzzz.tmp", seconds(62));
    leftover(".profile.sva.7hd02kd1.tmp", seconds(30));  // another export may be writing it
    leftover(".profile.sva.K3X9Q2AB.tmp", seconds(120)); // no name an export gives
    leftover(".profile.sva.k3x9q2a.tmp", seconds(120));
    leftover(".other.sva.k3x9q2ab.tmp", seconds(120)); // another target's
    fs::create_directory(dir.path() / ".profile.sva.d1r2e3c4.tmp");
    fs::last_write_time(dir.path() / ".profile.sva.d1r2e3c4.tmp",
                        fs::file_time_type::clock::now() - seconds(120));
    export_to(dir.file("profile.sva"));
    EXPECT_EQ(folder_entries(dir.path()),
              (Names{".other.sva.k3x9q2ab.tmp", ".profile.sva.7hd02kd1.tmp", ".profile.sva.K3X9Q2AB.tmp",
                     ".profile.sva.d1r2e3c4.tmp", ".profile.sva.k3x9q2a.tmp", "cast.TOB", "profile.sva"}));
}

// The lock of a file that casts are added to is taken through the calls handed in: held while it
// lives and its file gone after; on a file system without locks none is held and nothing is left
// behind; a wait for a lock another writer holds asks at every step and ends at a stop.
TEST_F(Fault, TheTargetLockIsHeldGoneUnheldOrStopped)
{
    class LockCalls : public SystemCalls {
    public:
        int refusal = 0; // the errno every flock gives, or 0 for the real call
        int flock(int descriptor, int operation) override
        {
            if (refusal != 0) {
                errno = refusal;
                return -1;
            }
            return SystemCalls::flock(descriptor, operation);
        }
    } calls;
    const std::string target = dir.write("survey.svp", "casts");
    {
        const TargetLock lock(target, {}, calls);
        EXPECT_TRUE(lock.held());
        EXPECT_EQ(folder_entries(dir.path()), (Names{".survey.svp.lock", "survey.svp"}));
    }
    EXPECT_EQ(folder_entries(dir.path()), (Names{"survey.svp"}));
    calls.refusal = ENOLCK;
    EXPECT_FALSE(TargetLock(target, {}, calls).held());
    EXPECT_EQ(folder_entries(dir.path()), (Names{"survey.svp"}));
    calls.refusal = EWOULDBLOCK;
    int asked = 0;
    EXPECT_THROW(TargetLock(target, [&] { return ++asked < 3; }, calls), WriteStopped);
    EXPECT_EQ(asked, 3);
}

TEST_F(Fault, TheLineReaderTellsWhetherALineEndedOrWasCut)
{
    using Lines = std::vector<std::pair<std::string, bool>>;
    const auto read_lines = [&](std::string_view text, KeepGoing keep_going = {}) {
        const std::string path = dir.write("cast.TOB", text);
        const Descriptor file = open_for_reading(path);
        LineReader reader(file.get(), path, std::move(keep_going));
        Lines lines;
        while (!reader.at_end()) {
            const std::string line(reader.read_line());
            lines.emplace_back(line.size() > 80 ? line.substr(0, 4) + "..." : line, reader.line_ended());
        }
        return lines;
    };
    EXPECT_EQ(read_lines("a\r\nb\n\nc\r"), (Lines{{"a", true}, {"b", true}, {"", true}, {"c\r", false}}));
    EXPECT_EQ(read_lines("1 4.0 10.5\n2 4.0 1"), (Lines{{"1 4.0 10.5", true}, {"2 4.0 1", false}}));
    EXPECT_EQ(read_lines("a\nb\n"), (Lines{{"a", true}, {"b", true}}));
    // Lines longer than a block of the reader: the end is found, or missed, after a refill.
    const std::string long_line(1'500'000, 'x');
    EXPECT_EQ(read_lines(long_line + "\n" + long_line), (Lines{{"xxxx...", true}, {"xxxx...", false}}));
    // A line cut by a stop did not end either.
    EXPECT_EQ(read_lines(long_line + "\n", [] { return false; }), (Lines{{"xxxx...", false}}));
}

} // namespace
} // namespace quillonde
