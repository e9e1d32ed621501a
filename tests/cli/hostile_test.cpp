// Runs the built quillonde-cli as it starts, signal dispositions and limits included, under the
// conditions a survey launch gives it: a file-size limit, signals while it waits on a pipe or
// writes, a kill, standard output as the target or gone, a cast that declares far more rows than
// it stores.
#include "temp_dir.h"
#include "tool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillonde {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using testing::folder_entries;
using testing::Outcome;
using testing::read_file;
using testing::TempDir;
using testing::Tool;
using Names = std::vector<std::string>;

const std::string deneb = std::string(QUILLONDE_TEST_DATA) + "/casts/rev205_deneb.TOB";
const std::string interrupted = ": interrupted; neither this nor what follows was converted\n";

/// A pipe whose read end the test holds; both ends closed with it.
struct Pipe {
    Pipe() { EXPECT_EQ(pipe2(ends, O_CLOEXEC), 0); }
    ~Pipe()
    {
        for (const int end : ends) {
            if (end >= 0) {
                close(end);
            }
        }
    }
    void close_end(int which)
    {
        close(ends[which]);
        ends[which] = -1;
    }
    std::string read_all()
    {
        close_end(1);
        std::string text;
        char block[4096];
        for (ssize_t got; (got = read(ends[0], block, sizeof block)) > 0;) {
            text.append(block, static_cast<std::size_t>(got));
        }
        return text;
    }
    int ends[2] = {-1, -1};
};

/// A cast that declares `declared` rows and has a data line for every `step`-th row number. Without
/// a SOUND column, its export fails at once, after the load.
std::string sparse_cast(std::int32_t declared, std::int32_t step, bool sound = false)
{
    std::string text = "Lines : " + std::to_string(declared) + "\n; Datasets Press Temp Cond SALIN" +
                       (sound ? " SOUND\n" : "\n");
    for (std::int64_t row = 1; row <= declared; row += step) {
        text += std::to_string(row) + " " + std::to_string(row / step) + ".5 10.000 30.000 35.000" +
                (sound ? " 1490.00\n" : "\n");
    }
    return text;
}

/// Waits until the process `pid` has its own handlers for SIGINT, SIGTERM and SIGHUP: a signal
/// sent before would end it the default way.
void wait_for_stop_handlers(pid_t pid)
{
    constexpr unsigned long long wanted =
        (1ULL << (SIGINT - 1)) | (1ULL << (SIGTERM - 1)) | (1ULL << (SIGHUP - 1));
    for (int attempt = 0; attempt < 5000; ++attempt) {
        const std::string status = read_file("/proc/" + std::to_string(pid) + "/status");
        const std::size_t caught = status.find("SigCgt:\t");
        if (caught != std::string::npos &&
            (std::stoull(status.substr(caught + 8, 16), nullptr, 16) & wanted) == wanted) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ADD_FAILURE() << "quillonde-cli never set its signal handlers";
}

/// Sends `signal` to the tool once it has its handlers and has had a moment to settle into what it
/// waits on, and expects it to end within a second.
Outcome stopped_by(Tool& tool, int signal)
{
    wait_for_stop_handlers(tool.pid());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto sent = Clock::now();
    kill(tool.pid(), signal);
    Outcome outcome = tool.wait(std::chrono::seconds(5));
    EXPECT_LT(Clock::now() - sent, std::chrono::seconds(1));
    return outcome;
}

class Hostile : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::copy_file(deneb, dir.file("c.TOB"));
        dir.write("c.sva", "the old profile");
        null_out = open("/dev/null", O_WRONLY | O_CLOEXEC);
    }
    void TearDown() override { close(null_out); }

    /// The entry of /proc/PID/fd that is an unfinished export in this folder, or an empty text.
    std::string export_in_progress(pid_t pid) const
    {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
            const std::string points_to = fs::read_symlink(entry.path(), ec).string();
            if (!ec && points_to.starts_with(dir.path().string()) &&
                (points_to.ends_with(" (deleted)") || points_to.ends_with(".tmp"))) {
                return points_to;
            }
        }
        return {};
    }

    TempDir dir;
    int null_out = -1;
};

TEST_F(Hostile, AFileSizeLimitIsAnErrorThatKeepsTheOldTarget)
{
    const Outcome outcome =
        Tool({"convert", "--salt", "--latitude", "54", "c.TOB"}, dir.path(), null_out, 1000).wait();
    EXPECT_EQ(outcome.signal, 0);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("cannot write \"c.sva\": File too large"), std::string::npos) << outcome.err;
    EXPECT_EQ(read_file(dir.file("c.sva")), "the old profile");
    EXPECT_EQ(folder_entries(dir.path()), (Names{"c.TOB", "c.sva"}));
}

TEST_F(Hostile, ASignalEndsAWaitOnAPipeWithinASecond)
{
    ASSERT_EQ(mkfifo(dir.file("live.TOB").c_str(), 0600), 0);
    for (const bool writer : {false, true}) {
        for (const auto& [signal, status] : {std::pair{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}}) {
            SCOPED_TRACE((writer ? "stalled writer, signal " : "no writer, signal ") +
                         std::to_string(signal));
            Tool tool({"convert", "--salt", "--latitude", "54", "live.TOB", "c.TOB"}, dir.path(),
                      null_out); // c.TOB waits
            int fifo = -1;
            for (int attempt = 0; writer && attempt < 500 && fifo < 0; ++attempt) {
                fifo = open(dir.file("live.TOB").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            const std::string start = "Lines : 9\n; Datasets Press Temp Cond SALIN SOUND\n1 1.0";
            EXPECT_EQ(writer ? write(fifo, start.data(), start.size()) : 0, writer ? std::ssize(start) : 0);
            const Outcome outcome = stopped_by(tool, signal);
            EXPECT_EQ(outcome.status, status);
            EXPECT_EQ(outcome.err, "quillonde-cli: live.TOB" + interrupted);
            if (fifo >= 0) {
                close(fifo);
            }
        }
    }
    EXPECT_EQ(folder_entries(dir.path()), (Names{"c.TOB", "c.sva", "live.TOB"}));
    EXPECT_EQ(read_file(dir.file("c.sva")), "the old profile");
}

TEST_F(Hostile, ASignalEndsAWriteToAStalledReaderWithinASecond)
{
    dir.write("big.TOB", sparse_cast(5000, 1, true)); // a profile of 150 kB, more than a pipe holds
    ASSERT_EQ(mkfifo(dir.file("fifo.sva").c_str(), 0600), 0);
    enum class Target { standard_output, fifo, fifo_without_reader };
    for (const Target target : {Target::standard_output, Target::fifo, Target::fifo_without_reader}) {
        for (const auto& [signal, status] : {std::pair{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}}) {
            SCOPED_TRACE("target " + std::to_string(static_cast<int>(target)) + ", signal " +
                         std::to_string(signal));
            Pipe out;
            // The reader that never reads: the test's end of the pipe, or of the FIFO.
            int reader = target == Target::standard_output ? out.ends[0] : -1;
            if (target == Target::fifo) {
                reader = open(dir.file("fifo.sva").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            }
            Tool tool(
                {"convert", "--fresh", "-o", target == Target::standard_output ? "-" : "fifo.sva", "big.TOB"},
                dir.path(), out.ends[1]);
            // Until the pipe is full and the tool waits on it, or waits for a reader.
            int queued = 0;
            for (int attempt = 0; reader >= 0 && attempt < 2000 && queued < 60'000; ++attempt) {
                ioctl(reader, FIONREAD, &queued);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            EXPECT_TRUE(reader < 0 || queued >= 60'000) << queued;
            const Outcome outcome = stopped_by(tool, signal);
            EXPECT_EQ(outcome.status, status);
            EXPECT_TRUE(outcome.err.ends_with("quillonde-cli: big.TOB" + interrupted)) << outcome.err;
            if (target == Target::fifo) {
                close(reader);
            }
        }
    }
    EXPECT_EQ(folder_entries(dir.path()), (Names{"big.TOB", "c.TOB", "c.sva", "fifo.sva"}));
    EXPECT_TRUE(fs::is_fifo(dir.path() / "fifo.sva"));
    EXPECT_EQ(read_file(dir.file("c.sva")), "the old profile");
}

// Two exports that create one target at once: the last one's file stands, whole, and neither fails.
TEST_F(Hostile, TwoExportsCreatingOneTargetBothSucceed)
{
    dir.write("d.TOB", sparse_cast(300, 1, true));
    ASSERT_EQ(
        Tool({"convert", "--salt", "--latitude", "54", "c.TOB", "d.TOB"}, dir.path(), null_out).wait().status,
        0);
    const std::string profiles[] = {read_file(dir.file("c.sva")), read_file(dir.file("d.sva"))};
    // A hundred rounds, ten at a time, each round two exports to a target of its own.
    int failures = 0;
    for (int batch = 0; batch < 10; ++batch) {
        std::vector<std::unique_ptr<Tool>> tools;
        for (int round = 0; round < 10; ++round) {
            const std::string target = "new" + std::to_string(round) + ".sva";
            fs::remove(dir.file(target));
            for (const char* cast : {"c.TOB", "d.TOB"}) {
                tools.push_back(std::make_unique<Tool>(
                    std::vector<std::string>{"convert", "--salt", "--latitude", "54", "-o", target, cast},
                    dir.path(), null_out));
            }
        }
        for (const auto& tool : tools) {
            const Outcome outcome = tool->wait();
            failures += outcome.status == 0 ? 0 : 1;
            EXPECT_EQ(outcome.err, "");
        }
        for (int round = 0; round < 10; ++round) {
            const std::string result = read_file(dir.file("new" + std::to_string(round) + ".sva"));
            EXPECT_TRUE(result == profiles[0] || result == profiles[1])
                << "batch " << batch << ", round " << round;
        }
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(folder_entries(dir.path()).size(), 14U); // the casts, their profiles and the ten targets
}

TEST_F(Hostile, AnExportStoppedOrKilledLeavesTheTargetAndNothingElse)
{
    // Every row a profile line, as deep as water goes: the export writes for a while.
    std::string deep = "Lines : 21800\n; Datasets Press Temp Cond SALIN SOUND\n";
    for (int row = 1; row <= 21'800; ++row) {
        deep += std::to_string(row) + " " + std::to_string(row * 0.55) + " 10.000 30.000 35.000 1490.00\n";
    }
    dir.write("big.TOB", deep);
    for (const int signal : {SIGINT, SIGKILL}) {
        SCOPED_TRACE(signal);
        // The export lasts milliseconds: on a busy machine it may end before it is seen, and then
        // it is tried again.
        std::optional<Pipe> out;
        std::optional<Tool> tool;
        std::string temporary;
        for (int run = 0; run < 20 && temporary.empty(); ++run) {
            if (tool) {
                tool->wait();
            }
            dir.write("big.sva", "the old profile");
            out.emplace();
            tool.emplace(std::vector<std::string>{"convert", "--salt", "--latitude", "54", "big.TOB"},
                         dir.path(), out->ends[1]);
            for (int attempt = 0; attempt < 20'000 && temporary.empty(); ++attempt) {
                temporary = export_in_progress(tool->pid());
            }
        }
        ASSERT_FALSE(temporary.empty()) << "the export was never seen";
        kill(tool->pid(), signal);
        const Outcome outcome = tool->wait();
        EXPECT_EQ(out->read_all(), ""); // no "->" line
        EXPECT_EQ(read_file(dir.file("big.sva")), "the old profile");
        if (signal == SIGKILL && temporary.ends_with(".tmp")) {
            GTEST_SKIP() << "this file system refuses unnamed files: a kill leaves " << temporary;
        }
        EXPECT_EQ(folder_entries(dir.path()), (Names{"big.TOB", "big.sva", "c.TOB", "c.sva"}));
        if (signal == SIGINT) {
            EXPECT_EQ(outcome.status, 130);
            EXPECT_TRUE(outcome.err.ends_with("quillonde-cli: big.TOB" + interrupted)) << outcome.err;
        }
    }
}

TEST_F(Hostile, StandardOutputAsTheTargetIsWrittenWhereItStands)
{
    ASSERT_EQ(Tool({"convert", "--salt", "--latitude", "54", "c.TOB"}, dir.path(), null_out).wait().status,
              0);
    const std::string profile = read_file(dir.file("c.sva"));
    const std::string progress = "c.TOB -> /dev/stdout: 250 rows, 43 profile lines\n";
    for (const char* target : {"-", "/dev/stdout"}) {
        SCOPED_TRACE(target);
        Pipe out;
        Tool tool({"convert", "--salt", "--latitude", "54", "-o", target, "c.TOB"}, dir.path(), out.ends[1]);
        const Outcome outcome = tool.wait();
        EXPECT_EQ(out.read_all(), profile);
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.err, progress); // not into the profile
    }
    // The plot too: its picture on standard output, nothing named "-", the progress line aside.
    ASSERT_EQ(Tool({"plot", "--salt", "--latitude", "54", "c.TOB"}, dir.path(), null_out).wait().status, 0);
    const int picture = open(dir.file("picture").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const Outcome plotted =
        Tool({"plot", "--salt", "--latitude", "54", "-o", "-", "c.TOB"}, dir.path(), picture).wait();
    close(picture);
    EXPECT_TRUE(read_file(dir.file("picture")) == read_file(dir.file("c.svg")));
    EXPECT_EQ(plotted.err, progress);
    fs::remove(dir.file("c.svg"));
    fs::remove(dir.file("picture"));
    // Redirected into a file: the file receives the bytes in place, it is not replaced.
    const int file = open(dir.file("out.sva").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    struct stat before = {};
    fstat(file, &before);
    const Outcome outcome =
        Tool({"convert", "--salt", "--latitude", "54", "-o", "/dev/stdout", "c.TOB"}, dir.path(), file)
            .wait();
    close(file);
    struct stat after = {};
    stat(dir.file("out.sva").c_str(), &after);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(read_file(dir.file("out.sva")), profile);
    EXPECT_EQ(folder_entries(dir.path()), (Names{"c.TOB", "c.sva", "out.sva"}));
}

// The plot is drawn by a program of its own, which the tool finds beside itself in a build and in
// ../libexec/quillonde where it is installed; without it the plot fails and says what is missing.
TEST_F(Hostile, APlotWithoutItsDrawingProgramFailsAndSaysSo)
{
    const fs::path bin = dir.file("usr/bin");
    fs::create_directories(bin);
    fs::copy_file(QUILLONDE_CLI, bin / "quillonde-cli");
    const Outcome alone = Tool({"plot", "--salt", "--latitude", "54", "c.TOB"}, dir.path(), -1, RLIM_INFINITY,
                               (bin / "quillonde-cli").string())
                              .wait();
    EXPECT_EQ(alone.status, 1);
    EXPECT_EQ(alone.err, "quillonde-cli: cannot start \"" +
                             dir.file("usr/libexec/quillonde/quillonde-cli-plot") +
                             "\" to draw the plot: No such file or directory\n");
    EXPECT_EQ(folder_entries(dir.path()), (Names{"c.TOB", "c.sva", "usr"}));

    // Installed: found where it is installed, whatever the folder the tool is started from.
    const fs::path libexec = dir.file("usr/libexec/quillonde");
    fs::create_directories(libexec);
    fs::copy_file(fs::path(QUILLONDE_CLI).parent_path() / "quillonde-cli-plot",
                  libexec / "quillonde-cli-plot");
    const Outcome installed = Tool({"plot", "--salt", "--latitude", "54", "c.TOB"}, dir.path(), -1,
                                   RLIM_INFINITY, (bin / "quillonde-cli").string())
                                  .wait();
    EXPECT_EQ(installed.status, 0) << installed.err;
    EXPECT_EQ(installed.out, "c.TOB -> c.svg: 250 rows, 43 profile lines\n");
    // The profile's three columns side by side unless the command line names others.
    const std::string picture = read_file(dir.file("c.svg"));
    for (const char* axis : {">SOUND [m/s]<", ">Temp [°C]<", ">SALIN [ppt]<"}) {
        EXPECT_NE(picture.find(axis), std::string::npos) << axis;
    }
    ASSERT_EQ(Tool({"plot", "--fresh", "--columns", "Temp", "-o", "t.svg", "c.TOB"}, dir.path(), -1,
                   RLIM_INFINITY, (bin / "quillonde-cli").string())
                  .wait()
                  .status,
              0);
    const std::string temperature = read_file(dir.file("t.svg"));
    EXPECT_NE(temperature.find(">Temp [°C]<"), std::string::npos);
    EXPECT_EQ(temperature.find(">SALIN [ppt]<"), std::string::npos);
}

TEST_F(Hostile, AReaderThatGoesAwayStopsNoConversion)
{
    fs::copy_file(deneb, dir.file("d.TOB"));
    fs::copy_file(deneb, dir.file("e.TOB"));
    Pipe gone;
    gone.close_end(0); // as `| head -1` after its line
    const Outcome outcome =
        Tool({"convert", "--salt", "--latitude", "54", "c.TOB", "d.TOB", "e.TOB"}, dir.path(), gone.ends[1])
            .wait();
    EXPECT_EQ(outcome.signal, 0);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "quillonde-cli: cannot write to standard output\n");
    EXPECT_EQ(read_file(dir.file("e.sva")), read_file(dir.file("c.sva")));
    EXPECT_NE(read_file(dir.file("c.sva")), "the old profile");

    const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
    for (const char* option : {"--help", "--version"}) {
        const Outcome failed = Tool({option}, dir.path(), full).wait();
        EXPECT_EQ(failed.status, 1) << option;
        EXPECT_EQ(failed.err, "quillonde-cli: cannot write to standard output\n") << option;
    }
    close(full);
}

TEST_F(Hostile, MemoryFollowsTheRowsThatArrive)
{
    const std::string cast = sparse_cast(300'000'000, 4096);
    const auto rows_bytes = static_cast<double>(cast.size() - cast.find("\n1 ") - 1);
    dir.write("sparse.TOB", cast);
    dir.write("small.TOB", sparse_cast(3, 1));
    const Outcome small =
        Tool({"convert", "--salt", "--latitude", "54", "small.TOB"}, dir.path(), null_out).wait();
    const Outcome sparse =
        Tool({"convert", "--salt", "--latitude", "54", "sparse.TOB"}, dir.path(), null_out).wait();
    // Both loads succeed; the exports fail for want of SOUND.
    EXPECT_NE(sparse.err.find("no column named \"SOUND\""), std::string::npos) << sparse.err;
    // The rows are enough for a second thread to check them: its stack and, under the sanitizers,
    // its own caches cost a few MiB whatever the rows.
    constexpr double second_thread = 8.0 * 1024 * 1024;
    EXPECT_LE(static_cast<double>(sparse.peak_kib - small.peak_kib) * 1024.0,
              10.0 * rows_bytes + second_thread)
        << sparse.peak_kib << " KiB at the peak for " << rows_bytes << " bytes of rows";
}

} // namespace
} // namespace quillonde
