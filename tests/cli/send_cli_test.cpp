// quillonde-cli send: the datagram received on a socket of the loopback interface and read back
// on its own terms. Nothing is sent anywhere but 127.0.0.1, and no name is looked up.
#include "cli/send_command.h"
#include "tool.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quillonde::testing {
namespace {

namespace fs = std::filesystem;

const std::string data = std::string(QUILLONDE_TEST_DATA);

/// A UDP socket bound to 127.0.0.1 on a port the system picks.
class Receiver {
public:
    Receiver()
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (socket_ < 0 || bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            ADD_FAILURE() << "no socket on the loopback interface";
        }
        port_ = ntohs(address.sin_port);
    }
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;
    ~Receiver() { close(); }

    std::string target() const { return "127.0.0.1:" + std::to_string(port_); }
    void close()
    {
        if (socket_ >= 0) {
            ::close(socket_);
            socket_ = -1;
        }
    }
    /// The next datagram, or an empty text when none comes within `wait_ms`.
    std::string receive(int wait_ms = 5000) const
    {
        pollfd ready{socket_, POLLIN, 0};
        if (poll(&ready, 1, wait_ms) != 1) {
            return {};
        }
        std::string bytes(70000, '\0');
        const ssize_t got = recv(socket_, bytes.data(), bytes.size(), 0);
        bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        return bytes;
    }

private:
    int socket_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    std::uint16_t port_ = 0;
};

std::vector<std::string> split(const std::string& text, const std::string& separator)
{
    std::vector<std::string> parts;
    for (std::size_t begin = 0;;) {
        const std::size_t end = text.find(separator, begin);
        parts.push_back(text.substr(begin, end - begin));
        if (end == std::string::npos) {
            return parts;
        }
        begin = end + separator.size();
    }
}

double number(const std::string& text)
{
    double value = std::nan("");
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

class Send : public ::testing::Test {
protected:
    void SetUp() override { fs::copy_file(data + "/casts/rev205_deneb.TOB", dir.file("deneb.TOB")); }
    Outcome send(std::vector<std::string> arguments) const
    {
        arguments.insert(arguments.begin(), "send");
        return run(arguments, dir.path());
    }

    TempDir dir;
};

// The datagram of a real cast holds the lines the .asvp export writes for SIS (speeds to 0.1 m/s),
// the time given and the cast's own position, and its checksum is the XOR after "$" up to "*".
TEST_F(Send, TheDatagramHoldsTheProfileOfTheAsvpExport)
{
    const std::vector<std::string> water = {"--salt", "--latitude", "54", "--time", "2016-08-24T07:53:13Z"};
    std::vector<std::string> convert = {"convert", "--format", "asvp"};
    convert.insert(convert.end(), water.begin(), water.end());
    convert.push_back("deneb.TOB");
    ASSERT_EQ(run(convert, dir.path()).status, 0);
    const std::vector<std::string> asvp = split(read_file(dir.file("deneb.asvp")), "\r\n");

    Receiver sounder;
    std::vector<std::string> arguments = {"--to", "sis", sounder.target(), "--apply"};
    arguments.insert(arguments.end(), water.begin(), water.end());
    arguments.push_back("deneb.TOB");
    const Outcome sent = send(arguments);
    EXPECT_EQ(sent.status, 0) << sent.err;
    EXPECT_EQ(sent.out, "46 lines to " + sounder.target() + " (SIS, S01)\n");
    EXPECT_NE(sent.err.find("deneb.TOB: extended to 12000 m below the cast's 24.88 m\n"), std::string::npos);

    const std::string bytes = sounder.receive();
    ASSERT_TRUE(bytes.starts_with("$MVS01,00000,0046,075313,24,08,2016,")) << bytes.substr(0, 60);
    ASSERT_TRUE(bytes.ends_with("\\\r\n"));
    const std::size_t star = bytes.rfind('*');
    unsigned checksum = 0;
    for (std::size_t k = 1; k < star; ++k) {
        checksum ^= static_cast<unsigned char>(bytes[k]);
    }
    EXPECT_EQ(std::stoul(bytes.substr(star + 1, 2), nullptr, 16), checksum);

    const std::vector<std::string> lines = split(bytes.substr(36), "\r\n");
    ASSERT_EQ(lines.size(), 48U); // 46 points, the position, the empty rest
    ASSERT_EQ(asvp.size(), 48U);  // the header, 46 lines, the empty rest
    for (std::size_t k = 0; k < 46; ++k) {
        const std::vector<std::string> fields = split(lines[k], ",");
        const std::vector<std::string> written = split(asvp[k + 1], " ");
        ASSERT_EQ(fields.size(), 5U) << lines[k];
        EXPECT_NEAR(number(fields[0]), number(written[0]), 0.005) << lines[k];
        EXPECT_NEAR(number(fields[1]), number(written[1]), 0.0501) << lines[k];
    }
    EXPECT_EQ(lines[45], "12000.00,1675.8,,,");
    EXPECT_EQ(lines[46].substr(0, lines[46].find(",*")), "5420.32,N,01141.48,E,0.0,,Quillonde");
}

// Nothing listening, a name that is no address (through a resolver that never asks the network),
// --strict against a doubt: each fails naming its cause, and nothing goes out.
TEST_F(Send, FailuresNameTheirCauseAndSendNothing)
{
    Receiver gone;
    const std::string closed = gone.target();
    gone.close();
    const std::vector<std::string> fix = {"--time", "2016-08-24T07:53:13Z", "deneb.TOB"};
    std::vector<std::string> arguments = {"--to", "sis5", closed, "--salt", "--latitude", "54"};
    arguments.insert(arguments.end(), fix.begin(), fix.end());
    const Outcome refused = send(arguments);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "");
    EXPECT_NE(refused.err.find("cannot send to " + closed + ": nothing listens on that port"),
              std::string::npos)
        << refused.err;

    Receiver sounder;
    arguments = {"--to", "qinsy", sounder.target(), "--strict", "--fresh"};
    arguments.insert(arguments.end(), fix.begin(), fix.end());
    const Outcome strict = send(arguments);
    EXPECT_EQ(strict.status, 1);
    EXPECT_NE(strict.err.find("deneb.TOB: refused by --strict: "), std::string::npos) << strict.err;
    arguments = {"--to", "qinsy", sounder.target(), "--salt", "--latitude", "54", "--position",
                 "54",   "11",    "stockholm.TOB"};
    fs::copy_file(data + "/casts/rev183_duplicate_press.TOB", dir.file("stockholm.TOB"));
    const Outcome unfixed = send(arguments);
    EXPECT_EQ(unfixed.status, 1);
    EXPECT_NE(unfixed.err.find("--position LAT LON and --time YYYY-MM-DDTHH:MM:SSZ give them"),
              std::string::npos)
        << unfixed.err;
    EXPECT_EQ(sounder.receive(200), "");

    std::ostringstream out;
    std::ostringstream err;
    const std::atomic<bool> stop{false};
    cli::SendOptions options;
    options.request = {sounder_named("sis"), "sounder.invalid", false, 0, true};
    options.fix.utc = std::chrono::sys_seconds{std::chrono::seconds{1472025193}};
    const cli::RunResult unknown = cli::send_cast({OptionButton::op_salt, "54"}, dir.file("deneb.TOB"),
                                                  options, {out, err, stop}, NumericResolver());
    EXPECT_EQ(unknown, cli::RunResult::some_failed);
    EXPECT_NE(err.str().find("host unknown"), std::string::npos) << err.str();
    EXPECT_EQ(out.str(), "");

    const std::pair<std::vector<std::string>, std::string> usage[] = {
        {{"--to", "em", sounder.target(), "--fresh", "deneb.TOB"}, "--to \"em\" is no echo sounder"},
        {{"--to", "pds", sounder.target(), "--apply", "--fresh", "deneb.TOB"}, "--apply is for SIS only"},
    };
    for (const auto& [given, hint] : usage) {
        const Outcome outcome = send(given);
        EXPECT_EQ(outcome.status, 2) << hint;
        EXPECT_TRUE(outcome.err.starts_with("quillonde-cli: " + hint)) << outcome.err;
    }
}

} // namespace
} // namespace quillonde::testing
