// Sending a profile to the echo sounder: the profile shaped as SIS takes it, the datagram's bytes
// read back independently, and the datagram received on the loopback interface. No test sends
// anywhere but 127.0.0.1 or ::1, and none looks a name up.
#include "formats/profile_text.h"
#include "formats/sound_speed_datagram.h"
#include "profile/sounder_shaping.h"
#include "profile/udp_send.h"

#include "error_matchers.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quillonde {
namespace {

using testing::error_of;

ProfileRow line_at(double depth_m, double speed, double temperature = 10.0, double salinity = 35.0)
{
    static std::int32_t row = 0;
    return ProfileRow{++row, depth_m, {speed, temperature, salinity, 42.0}};
}

Profile profile_of(std::vector<ProfileRow> rows)
{
    Profile profile;
    profile.rows = std::move(rows);
    return profile;
}

/// `lines` lines from 1 m down, a metre apart, whose sound speed bends (and wobbles).
Profile long_profile(std::size_t lines, double wobble = 0.01)
{
    Profile profile;
    for (std::size_t k = 1; k <= lines; ++k) {
        const double depth = static_cast<double>(k);
        profile.rows.push_back(line_at(depth, 1480.0 + 8.0 * std::sin(depth / 37.3) + 0.0123 * depth +
                                                  wobble * static_cast<double>(k * 37 % 11)));
    }
    return profile;
}

std::vector<double> depths_of(const Profile& profile)
{
    std::vector<double> depths;
    for (const ProfileRow& line : profile.rows) {
        depths.push_back(line.depth_m);
    }
    return depths;
}

TEST(SounderShaping, AddsTheSurfaceAndTheDeepLineWhereTheProfileLacksThem)
{
    Profile profile =
        profile_of({line_at(0.5, 1481.23, 12.5, 34.0), line_at(10.0, 1482.0), line_at(43.1, 1485.0)});
    const SounderShaping shaping = shape_for_sounder(profile, SounderShape{});
    EXPECT_EQ(depths_of(profile), (std::vector<double>{0.0, 0.5, 10.0, 43.1, 12000.0}));
    EXPECT_EQ(profile.rows[0].values, profile.rows[1].values);
    EXPECT_EQ(profile.rows.back().values[sound_field], 1675.8);
    EXPECT_TRUE(std::isnan(profile.rows.back().values[temperature_field]));
    EXPECT_TRUE(std::isnan(profile.rows.back().values[salinity_field]));
    EXPECT_EQ(shaping_notes(shaping),
              (std::vector<std::string>{"a 0 m line added with the first sound speed, "
                                        "1481.23 m/s",
                                        "extended to 12000 m below the cast's 43.1 m"}));

    // Already at 0 m (to 0.01 m), reaching 12,000 m, or the extension turned off: nothing is added.
    for (const auto& [first, last, extend] :
         {std::tuple{0.004, 12001.0, true}, std::tuple{0.0, 11999.996, true}, std::tuple{0.0, 43.1, false}}) {
        Profile whole = profile_of({line_at(first, 1481.0), line_at(last, 1490.0)});
        const SounderShaping none = shape_for_sounder(whole, SounderShape{true, extend, 1000});
        EXPECT_EQ(depths_of(whole), (std::vector<double>{first, last})) << first << " " << last;
        EXPECT_EQ(shaping_notes(none), std::vector<std::string>{});
    }

    // The lines of a profile file repeat its texts; an added line is written from its own depth.
    Profile file = profile_of({line_at(0.5, 1481.0), line_at(43.1, 1485.0)});
    file.rows.front() = {1, 0.5, {1481.0}, 0.5, "0.5", ""};
    file.rows.back() = {2, 43.1, {1485.0}, 43.1, "43.1", "1485.0"};
    shape_for_sounder(file, SounderShape{});
    EXPECT_EQ(depth_sound_text(file.rows.front()), "0 1481");
    EXPECT_EQ(depth_sound_text(file.rows.back()), "12000 1675.8");

    // As QINSy and PDS2000 take it: neither line.
    Profile plain = profile_of({line_at(0.5, 1481.0), line_at(43.1, 1485.0)});
    shape_for_sounder(plain, SounderShape{false, false, 9999});
    EXPECT_EQ(depths_of(plain), (std::vector<double>{0.5, 43.1}));
}

TEST(SounderShaping, KeepsTheFirstOfEachDepthAsWrittenAndNoLineGoingBackUp)
{
    Profile profile = profile_of({line_at(1.0, 1481.0), line_at(1.004, 1499.0), line_at(2.0, 1482.0),
                                  line_at(1.5, 1499.0), line_at(2.006, 1499.0), line_at(3.0, 1483.0)});
    const SounderShaping shaping = shape_for_sounder(profile, SounderShape{false, false, 1000});
    EXPECT_EQ(depths_of(profile), (std::vector<double>{1.0, 2.0, 2.006, 3.0}));
    EXPECT_EQ(profile.rows[0].values[sound_field], 1481.0);
    EXPECT_EQ(shaping.not_deeper_dropped, 2u);
    EXPECT_EQ(shaping_notes(shaping),
              std::vector<std::string>{
                  "2 lines left out that lie no deeper than the line before them (to 0.01 m)"});
}

TEST(SounderShaping, ReducesToTheMostLinesKeepingTheAddedAndTheDeepestLines)
{
    for (const std::size_t most : {1000u, 570u}) {
        Profile profile = long_profile(1500, 0.0);
        const SounderShaping shaping = shape_for_sounder(profile, SounderShape{true, true, most});
        ASSERT_EQ(profile.rows.size(), most);
        EXPECT_EQ(profile.rows.front().depth_m, 0.0);
        EXPECT_EQ(profile.rows[most - 2].depth_m, 1500.0);
        EXPECT_EQ(profile.rows.back().depth_m, 12000.0);
        for (std::size_t k = 1; k < most; ++k) {
            ASSERT_LT(profile.rows[k - 1].depth_m, profile.rows[k].depth_m) << k;
        }
        ASSERT_TRUE(shaping.reduced);
        EXPECT_EQ(shaping.reduced->lines_before, 1502u);
        EXPECT_EQ(shaping.reduced->lines_after, most);
        EXPECT_TRUE(
            shaping_notes(shaping)[1].starts_with("1502 lines reduced to " + std::to_string(most) + " ("));
    }
    // Not reduced at the limit.
    Profile fits = long_profile(998);
    EXPECT_FALSE(shape_for_sounder(fits, SounderShape{}).reduced);
    EXPECT_EQ(fits.rows.size(), 1000u);
}

TEST(SounderShaping, RefusesNoLineAndLimitsThatCannotHoldTheKeptLines)
{
    Profile empty;
    EXPECT_ERROR_KIND(shape_for_sounder(empty, SounderShape{}), no_profile);
    Profile profile = long_profile(10);
    EXPECT_ERROR_KIND(shape_for_sounder(profile, SounderShape{true, true, 2}), overflow);
    EXPECT_EQ(profile.rows.size(), 10u);
    EXPECT_EQ(shape_for_sounder(profile, SounderShape{true, false, 2}).reduced->lines_after, 2u);
}

/// The deneb-like cast of the datagram tests: 2016-08-24T07:53:13Z, south and east.
StatedFix fix_at(double latitude, double longitude)
{
    using namespace std::chrono;
    return {sys_days(2016y / August / 24) + 7h + 53min + 13s, latitude, longitude};
}

Profile small_cast()
{
    return profile_of({line_at(0.5, 1481.23, 12.346, 34.5), line_at(10.25, 1482.06, 11.2, 34.567),
                       line_at(43.1, 1485.0, 9.999, 35.0)});
}

DatagramRequest request_for(std::string_view sounder, bool apply = false)
{
    return DatagramRequest{sounder_named(sounder), apply, 0, true, "SBE\t19plus, V2*\xC2\xB5"};
}

TEST(SoundSpeedDatagram, WritesTheKongsbergLayoutWithItsChecksum)
{
    const SoundSpeedDatagram datagram =
        sound_speed_datagram(small_cast(), fix_at(-33.999999, 151.2125), request_for("sis"));
    EXPECT_EQ(datagram.bytes, "$MVS12,00000,0005,075313,24,08,2016,0.00,1481.2,12.35,34.50,\r\n"
                              "0.50,1481.2,12.35,34.50,\r\n"
                              "10.25,1482.1,11.20,34.57,\r\n"
                              "43.10,1485.0,10.00,35.00,\r\n"
                              "12000.00,1675.8,,,\r\n"
                              "3400.00,S,15112.75,E,0.0,,SBE_19plus_ V2___,*2A\\\r\n");
    EXPECT_EQ(datagram.lines, 5u);

    // Applied at once; north and west; a cast without temperature and salinity; QINSy: no lines added.
    Profile bare = small_cast();
    bare.given = {true, false, false, false};
    const SoundSpeedDatagram applied =
        sound_speed_datagram(bare, fix_at(5.5, -0.25), request_for("sis5", true));
    EXPECT_TRUE(applied.bytes.starts_with("$MVS01,00000,0005,075313,24,08,2016,0.00,1481.2,,,\r\n"));
    EXPECT_NE(applied.bytes.find("\r\n0530.00,N,00015.00,W,0.0,,SBE_19plus_ V2___,*"), std::string::npos);
    const SoundSpeedDatagram qinsy = sound_speed_datagram(small_cast(), fix_at(0, 0), request_for("qinsy"));
    EXPECT_TRUE(qinsy.bytes.starts_with("$MVS12,00000,0003,075313,24,08,2016,0.50,1481.2,12.35,34.50,\r\n"));
    EXPECT_TRUE(
        qinsy.bytes.ends_with("43.10,1485.0,10.00,35.00,\r\n0000.00,N,00000.00,E,0.0,,SBE_19plus_ V2___,*" +
                              datagram_checksum(qinsy.bytes.substr(1, qinsy.bytes.size() - 7)) + "\\\r\n"));
    EXPECT_EQ(sound_speed_datagram(small_cast(), fix_at(0, 0),
                                   DatagramRequest{sounder_named("pds"), false, 0, true, " "})
                  .bytes.find(",0.0,,Quillonde,*"),
              qinsy.bytes.find(",0.0,,SBE"));
}

TEST(SoundSpeedDatagram, RefusesWhatTheSounderOrTheDatagramCannotTake)
{
    const StatedFix fix = fix_at(54.0, 10.0);
    EXPECT_ERROR_KIND(sound_speed_datagram(small_cast(), fix, request_for("qinsy", true)), refused);
    EXPECT_ERROR_KIND(sound_speed_datagram(small_cast(), fix, request_for("pds", true)), refused);
    EXPECT_ERROR_KIND(sound_speed_datagram(small_cast(), fix,
                                           DatagramRequest{sounder_named("pds"), false, 10000, true, ""}),
                      overflow);
    EXPECT_ERROR_KIND(sound_speed_datagram(small_cast(), fix_at(90.5, 10.0), request_for("sis")), overflow);
    EXPECT_ERROR_KIND(sound_speed_datagram(small_cast(), fix_at(54.0, -180.5), request_for("sis")), overflow);
    using namespace std::chrono;
    const StatedFix far{sys_days(10000y / January / 1), 54.0, 10.0};
    EXPECT_ERROR_KIND(sound_speed_datagram(small_cast(), far, request_for("sis")), overflow);
    EXPECT_EQ(sound_speed_datagram(long_profile(1500), fix, request_for("sis5")).lines, 1000u);
    const std::string named =
        sound_speed_datagram(small_cast(), fix,
                             DatagramRequest{sounder_named("sis"), false, 0, true, std::string(60, 'x')})
            .bytes;
    EXPECT_NE(named.find("0.0,," + std::string(40, 'x') + ",*"), std::string::npos);
    Profile wild = small_cast();
    wild.rows[1].values[sound_field] = 1e12;
    const Error error = error_of([&] { sound_speed_datagram(wild, fix, request_for("sis")); });
    EXPECT_EQ(error.kind(), ErrorKind::overflow);
    EXPECT_EQ(error.where(), row_place(wild.rows[1].table_row));
    wild.rows[1].values[sound_field] = std::nan("");
    EXPECT_EQ(error_of([&] { sound_speed_datagram(wild, fix, request_for("sis")); }).where(), error.where());
    EXPECT_EQ(sounder_named("sis4"), nullptr);
}

TEST(SoundSpeedDatagram, ThinsHarderUntilOneDatagramHoldsTheProfile)
{
    Profile profile = long_profile(9999);
    const SoundSpeedDatagram datagram =
        sound_speed_datagram(profile, fix_at(54.0, 10.0), request_for("qinsy"));
    EXPECT_LE(datagram.bytes.size(), datagram_most_bytes);
    EXPECT_GT(datagram.bytes.size(), datagram_most_bytes * 9 / 10);
    ASSERT_TRUE(datagram.fitted);
    EXPECT_EQ(datagram.fitted->lines_before, 9999u);
    EXPECT_EQ(datagram.fitted->lines_after, datagram.lines);
    EXPECT_EQ(datagram.bytes.substr(13, 5), std::to_string(datagram.lines) + ",");
    EXPECT_TRUE(datagram.bytes.starts_with("$MVS12,00000,"));
    EXPECT_NE(datagram.bytes.find(",2016,1.00,"), std::string::npos);
    EXPECT_NE(datagram.bytes.find("\r\n9999.00,"), std::string::npos);
    EXPECT_TRUE(datagram_notes(datagram).back().starts_with("thinned to " + std::to_string(datagram.lines) +
                                                            " lines to fit one datagram of 65507 bytes"));
}

/// A datagram read back as a receiver would, without the program's own code.
struct ReadBack {
    std::vector<std::string> header; // $MVSxx, data set, count, time, day, month, year
    std::vector<std::vector<std::string>> lines;
    std::string trailer; // position to source
    bool checksum_ok = false;
};

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> pieces(1);
    for (const char c : text) {
        if (c == separator) {
            pieces.emplace_back();
        } else {
            pieces.back() += c;
        }
    }
    return pieces;
}

ReadBack read_back(const std::string& bytes)
{
    ReadBack back;
    const std::size_t star = bytes.rfind('*');
    if (bytes.empty() || bytes[0] != '$' || star == std::string::npos || bytes.substr(star + 3) != "\\\r\n") {
        return back;
    }
    int sum = 0;
    for (std::size_t k = 1; k < star; ++k) {
        sum ^= static_cast<unsigned char>(bytes[k]);
    }
    back.checksum_ok = std::stoi(bytes.substr(star + 1, 2), nullptr, 16) == sum;
    std::vector<std::string> rows;
    for (std::size_t at = 0, end; (end = bytes.find("\r\n", at)) != std::string::npos; at = end + 2) {
        rows.push_back(bytes.substr(at, end - at));
    }
    std::vector<std::string> first = split(rows.front(), ',');
    back.header.assign(first.begin(), first.begin() + 7);
    back.lines.emplace_back(first.begin() + 7, first.end());
    for (std::size_t k = 1; k + 1 < rows.size(); ++k) {
        back.lines.push_back(split(rows[k], ','));
    }
    back.trailer = rows.back().substr(0, rows.back().rfind('*'));
    return back;
}

double number(const std::string& text)
{
    double value = -1.0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

/// A UDP socket bound to a free port of a loopback address.
class Receiver {
public:
    explicit Receiver(int family) : socket_(::socket(family, SOCK_DGRAM, 0))
    {
        sockaddr_storage address{};
        socklen_t length = 0;
        if (family == AF_INET6) {
            auto& v6 = reinterpret_cast<sockaddr_in6&>(address);
            v6.sin6_family = AF_INET6;
            v6.sin6_addr = in6addr_loopback;
            length = sizeof(v6);
        } else {
            auto& v4 = reinterpret_cast<sockaddr_in&>(address);
            v4.sin_family = AF_INET;
            v4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            length = sizeof(v4);
        }
        bound_ = socket_ >= 0 && ::bind(socket_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                 ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0;
        port_ = ntohs(family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(address).sin6_port
                                         : reinterpret_cast<sockaddr_in&>(address).sin_port);
    }
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;
    ~Receiver() { close(); }

    bool bound() const { return bound_; }
    std::uint16_t port() const { return port_; }
    void close()
    {
        if (socket_ >= 0) {
            ::close(socket_);
            socket_ = -1;
        }
    }
    /// The next datagram, or nothing after five seconds.
    std::string receive()
    {
        pollfd watched{socket_, POLLIN, 0};
        if (::poll(&watched, 1, 5000) != 1) {
            return {};
        }
        std::string bytes(70000, '\0');
        const ssize_t got = ::recv(socket_, bytes.data(), bytes.size(), 0);
        bytes.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
        return bytes;
    }

private:
    int socket_;
    bool bound_ = false;
    std::uint16_t port_ = 0;
};

/// Names the tests give a host: "sis-pc" is the loopback interface; every other name is unknown.
class LoopbackNames : public Resolver {
public:
    std::vector<NetAddress> resolve(const std::string& host, std::uint16_t port) const override
    {
        ++asked;
        return NumericResolver().resolve(host == "sis-pc" ? "127.0.0.1" : host, port);
    }
    mutable int asked = 0;
};

TEST(SendToSounder, DeliversTheDatagramOnTheLoopbackInterface)
{
    const SounderFacts& sis = *sounder_named("sis");
    const Profile cast = small_cast();
    const SoundSpeedDatagram datagram = sound_speed_datagram(cast, fix_at(54.123, -7.5), request_for("sis"));
    for (const auto& [family, host] : {std::pair{AF_INET, "127.0.0.1"}, std::pair{AF_INET6, "[::1]"}}) {
        Receiver receiver(family);
        if (!receiver.bound()) {
            ASSERT_EQ(family, AF_INET6) << "127.0.0.1 takes no socket";
            continue; // a machine without IPv6
        }
        const LoopbackNames names;
        const NetAddress to =
            send_datagram(sounder_destination(sis, std::string(host) + ":" + std::to_string(receiver.port())),
                          datagram.bytes, names);
        EXPECT_EQ(to.text(), std::string(host) + ":" + std::to_string(receiver.port()));
        EXPECT_EQ(sent_status(datagram, to, sis), "5 lines to " + to.text() + " (SIS, S12)");

        const ReadBack back = read_back(receiver.receive());
        EXPECT_TRUE(back.checksum_ok);
        EXPECT_EQ(back.header,
                  (std::vector<std::string>{"$MVS12", "00000", "0005", "075313", "24", "08", "2016"}));
        ASSERT_EQ(back.lines.size(), 5u);
        const std::vector<double> depths{0.0, 0.5, 10.25, 43.1, 12000.0};
        const std::vector<double> speeds{1481.2, 1481.2, 1482.1, 1485.0, 1675.8};
        for (std::size_t k = 0; k < 5; ++k) {
            ASSERT_EQ(back.lines[k].size(), 5u) << k;
            EXPECT_NEAR(number(back.lines[k][0]), depths[k], 1e-9) << k;
            EXPECT_NEAR(number(back.lines[k][1]), speeds[k], 1e-9) << k;
            EXPECT_EQ(back.lines[k][4], "") << k;
        }
        EXPECT_NEAR(number(back.lines[2][2]), 11.2, 1e-9);
        EXPECT_NEAR(number(back.lines[2][3]), 34.57, 1e-9);
        EXPECT_EQ(back.lines[4][2] + back.lines[4][3], "");
        EXPECT_EQ(back.trailer, "5407.38,N,00730.00,W,0.0,,SBE_19plus_ V2___,");
    }
}

TEST(SendToSounder, NamesTheCauseWhenTheDatagramCannotGo)
{
    std::uint16_t closed_port = 0;
    {
        Receiver gone(AF_INET);
        ASSERT_TRUE(gone.bound());
        closed_port = gone.port();
    }
    const LoopbackNames names;
    const Error refused = error_of([&] { send_datagram({"127.0.0.1", closed_port}, "$MVS12", names); });
    EXPECT_EQ(refused.kind(), ErrorKind::io_error);
    EXPECT_EQ(refused.detail(), "cannot send to 127.0.0.1:" + std::to_string(closed_port) +
                                    ": nothing listens on that port (connection refused)");
    const Error by_name = error_of([&] { send_datagram({"sis-pc", closed_port}, "$MVS12", names); });
    EXPECT_EQ(by_name.detail(), "cannot send to \"sis-pc\" at 127.0.0.1:" + std::to_string(closed_port) +
                                    ": nothing listens on that port (connection refused)");

    // A name no resolver knows is refused before anything is sent.
    names.asked = 0;
    const Error unknown = error_of([&] { send_datagram({"echosounder.invalid", 4001}, "$MVS12", names); });
    EXPECT_EQ(unknown.detail(), "cannot send to \"echosounder.invalid\": host unknown: no address is known "
                                "for \"echosounder.invalid\"");
    EXPECT_EQ(names.asked, 1);
    EXPECT_ERROR_KIND(send_datagram({"127.0.0.1", 0}, "$MVS12", names), type_mismatch);
    EXPECT_ERROR_KIND(NumericResolver().resolve("localhost", 4001), io_error);

    // A name the resolver maps to the loopback interface gets the datagram.
    Receiver receiver(AF_INET);
    ASSERT_TRUE(receiver.bound());
    EXPECT_EQ(send_datagram({"sis-pc", receiver.port()}, "$MVS12", names).text(),
              "127.0.0.1:" + std::to_string(receiver.port()));
    EXPECT_EQ(receiver.receive(), "$MVS12");
    EXPECT_EQ(SystemResolver().resolve("::1", 14002).front().text(), "[::1]:14002");
}

TEST(SendToSounder, ReadsTheDestinationWithTheSoundersOwnPort)
{
    const auto read = [](std::string_view sounder, std::string_view text) {
        const Destination to = sounder_destination(*sounder_named(sounder), text);
        return to.host + " " + std::to_string(to.port);
    };
    EXPECT_EQ(read("sis", "sis-pc"), "sis-pc 4001");
    EXPECT_EQ(read("sis5", "10.0.0.5"), "10.0.0.5 14002");
    EXPECT_EQ(read("qinsy", "qinsy-pc:5602"), "qinsy-pc 5602");
    EXPECT_EQ(read("sis", "[fe80::1%eth0]:65535"), "fe80::1%eth0 65535");
    EXPECT_EQ(read("sis", "[::1]"), "::1 4001");
    EXPECT_EQ(read("sis5", "::1"), "::1 14002");
    const Error no_port = error_of([&] { read("qinsy", "qinsy-pc"); });
    EXPECT_EQ(no_port.detail(),
              "the destination \"qinsy-pc\" names no port, and QINSy listens on the UDP port its "
              "Database Setup gives the sound velocity profile system: write HOST:PORT");
    EXPECT_ERROR_KIND(read("pds", "[::1]"), type_mismatch);
    EXPECT_ERROR_KIND(read("sis", "sis-pc:"), type_mismatch);
    EXPECT_ERROR_KIND(read("sis", "sis-pc:40x1"), type_mismatch);
    EXPECT_ERROR_KIND(read("sis", "sis-pc:0"), overflow);
    EXPECT_ERROR_KIND(read("sis", "sis-pc:65536"), overflow);
    EXPECT_ERROR_KIND(read("sis", ":4001"), type_mismatch);
    EXPECT_EQ(error_of([&] { read("sis", "[::1"); }).detail(),
              "the destination \"[::1\" opens a \"[\" it never closes");
    EXPECT_ERROR_KIND(read("sis", "[::1]4001"), type_mismatch);
}

} // namespace
} // namespace quillonde
