#include "formats/sound_speed_datagram.h"

#include "runtime/convert.h"
#include "runtime/error.h"
#include "runtime/text.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace quillonde {

namespace {

// The UDP ports SIS listens on for a sound speed profile unless set otherwise. QINSy and PDS2000
// listen on the port their own set-up names (QINSy: Database Setup, the sound velocity profile
// system's UDP port), so they have none here.
constexpr std::uint16_t sis4_port = 4001;
constexpr std::uint16_t sis5_port = 14002;

constexpr std::array<SounderFacts, 4> known_sounders = {{
    {Sounder::sis4, "sis", "SIS", sis4_port, "", true, true},
    {Sounder::sis5, "sis5", "SIS 5", sis5_port, "", true, true},
    {Sounder::qinsy, "qinsy", "QINSy", 0,
     "QINSy listens on the UDP port its Database Setup gives the sound velocity profile system", false,
     false},
    {Sounder::pds, "pds", "PDS2000", 0, "PDS2000 listens on the UDP port its sound velocity device is set to",
     false, false},
}};

// The talker (two capital letters) and the data set identifier, which nothing here counts.
constexpr std::string_view datagram_start = "$MV";
constexpr std::string_view data_set = "00000";
constexpr std::string_view line_end = "\r\n";
// After the position: "0.0" and an empty field, then the source, as the receiving software takes it.
constexpr std::string_view after_position = "0.0,,";
constexpr std::string_view datagram_end = "\\\r\n";
constexpr char checksum_mark = '*';

constexpr int datagram_depth_decimals = 2;
constexpr int datagram_speed_decimals = 1;
constexpr int datagram_other_decimals = 2; // temperature and salinity
constexpr int minute_decimals = 2;

/// The largest value written in decimals; anything larger is no depth, speed, temperature or
/// salinity, and would need an exponent.
constexpr double largest_written = 1e9;

/// The source when the cast names no probe; and the most characters of one.
constexpr std::string_view unnamed_source = "Quillonde";
constexpr std::size_t most_source_chars = 40;

/// `value` rounded to `decimals` and written with exactly that many: "12.30".
std::string decimals_text(double value, int decimals, std::string_view subject, std::int32_t table_row)
{
    if (!std::isfinite(value)) {
        throw Error(ErrorKind::overflow, std::string(subject) + " holds no number", row_place(table_row));
    }
    const double rounded = round_to(value, decimals);
    if (std::abs(rounded) >= largest_written) {
        throw Error(ErrorKind::overflow,
                    std::string(subject) + " " + double_to_str(value) + " is too large for the datagram",
                    row_place(table_row));
    }
    std::string text = double_to_str(rounded);
    std::size_t point = text.find('.');
    if (point == std::string::npos) {
        point = text.size();
        text += '.';
    }
    text.append(static_cast<std::size_t>(decimals) - (text.size() - point - 1), '0');
    return text;
}

/// A latitude ("DDMM.mm,N") or longitude ("DDDMM.mm,E") in degrees and minutes with its hemisphere.
std::string position_text(double degrees, int degree_digits, char positive, char negative)
{
    const double magnitude = std::abs(degrees);
    double whole = std::floor(magnitude);
    double minutes = round_to((magnitude - whole) * 60.0, minute_decimals);
    if (minutes >= 60.0) {
        whole += 1.0;
        minutes = 0.0;
    }
    std::string minutes_text = decimals_text(minutes, minute_decimals, "minutes", 0);
    minutes_text.insert(0, 5 - std::min<std::size_t>(5, minutes_text.size()), '0');
    return padded(static_cast<int>(whole), degree_digits) + minutes_text + "," +
           (degrees < 0.0 ? negative : positive);
}

/// `source` with what the datagram uses as delimiters, and anything not printable ASCII, as "_".
std::string source_text(std::string_view source)
{
    std::string text(trim_blanks(source).substr(0, most_source_chars));
    if (text.empty()) {
        return std::string(unnamed_source);
    }
    std::ranges::replace_if(
        text, [](char c) { return c < ' ' || c > '~' || c == ',' || c == '*' || c == '$' || c == '\\'; },
        '_');
    return text;
}

/// A temperature or salinity as the datagram writes it: empty where the profile has none.
std::string optional_text(const Profile& profile, const ProfileRow& line, std::size_t field)
{
    const double value = line.values[field];
    if (!profile.given[field] || std::isnan(value)) {
        return {};
    }
    return decimals_text(value, datagram_other_decimals, profile_fields[field].name, line.table_row);
}

std::string datagram_text(const Profile& profile, const StatedFix& fix, std::string_view identifier,
                          const std::string& source)
{
    const Calendar at = calendar_of(fix.utc);
    if (at.year < 1000 || at.year > 9999) {
        throw Error(ErrorKind::overflow,
                    "the year " + std::to_string(at.year) + " has no place in the datagram's four digits");
    }
    if (!(std::abs(fix.latitude_deg) <= 90.0) || !(std::abs(fix.longitude_deg) <= 180.0)) {
        throw Error(ErrorKind::overflow, "the position " + double_to_str(fix.latitude_deg) + " " +
                                             double_to_str(fix.longitude_deg) + " lies outside the globe");
    }
    std::string text(datagram_start);
    text += identifier;
    text += "," + std::string(data_set) + "," + padded(static_cast<int>(profile.rows.size()), 4) + "," +
            padded(at.hour, 2) + padded(at.minute, 2) + padded(at.second, 2) + "," + padded(at.day, 2) + "," +
            padded(at.month, 2) + "," + padded(at.year, 4) + ",";
    for (const ProfileRow& line : profile.rows) {
        text += decimals_text(line.depth_m, datagram_depth_decimals, "the depth", line.table_row) + ",";
        text += decimals_text(line.values[sound_field], datagram_speed_decimals, "the sound speed",
                              line.table_row) +
                ",";
        text += optional_text(profile, line, temperature_field) + ",";
        text += optional_text(profile, line, salinity_field) + ",";
        text += line_end;
    }
    text += position_text(fix.latitude_deg, 2, 'N', 'S') + ",";
    text += position_text(fix.longitude_deg, 3, 'E', 'W') + ",";
    text += after_position;
    text += source + ",";
    text += checksum_mark;
    text += datagram_checksum(std::string_view(text).substr(1, text.size() - 2));
    text += datagram_end;
    return text;
}

} // namespace

std::span<const SounderFacts> sounders()
{
    return known_sounders;
}

const SounderFacts* sounder_named(std::string_view id)
{
    const auto found = std::ranges::find(known_sounders, id, &SounderFacts::id);
    return found == known_sounders.end() ? nullptr : &*found;
}

std::string datagram_checksum(std::string_view between)
{
    unsigned checksum = 0;
    for (const char c : between) {
        checksum ^= static_cast<unsigned char>(c);
    }
    constexpr std::string_view hex = "0123456789ABCDEF";
    return {hex[checksum >> 4], hex[checksum & 0xF]};
}

SoundSpeedDatagram sound_speed_datagram(Profile profile, const StatedFix& fix, const DatagramRequest& request)
{
    const SounderFacts& sounder = *request.sounder;
    if (request.apply && !sounder.applies_at_once) {
        throw Error(ErrorKind::refused, std::string(sounder.name) +
                                            " takes a profile only to edit it first (" +
                                            std::string(edit_identifier) + "), not to apply it at once");
    }
    SounderShape shape;
    shape.surface_line = sounder.shaped_for_sis;
    shape.extend = sounder.shaped_for_sis && request.extend;
    shape.most_lines = request.most_lines != 0  ? request.most_lines
                       : sounder.shaped_for_sis ? sis_default_most_lines
                                                : datagram_most_lines;
    if (shape.most_lines > datagram_most_lines) {
        throw Error(ErrorKind::overflow, "a datagram holds at most " + std::to_string(datagram_most_lines) +
                                             " lines, not " + std::to_string(shape.most_lines));
    }

    SoundSpeedDatagram datagram;
    datagram.identifier = request.apply ? apply_identifier : edit_identifier;
    datagram.shaping = shape_for_sounder(profile, shape);
    const std::string source = source_text(request.source);
    datagram.bytes = datagram_text(profile, fix, datagram.identifier, source);
    datagram.lines = profile.rows.size();
    while (datagram.bytes.size() > datagram_most_bytes) {
        // The lines' share of the size falls at least as fast as their number: aim at the share that
        // fits, and take a line less at each try that still does not.
        const std::size_t aim = datagram.lines * datagram_most_bytes / datagram.bytes.size();
        const std::size_t lines = std::min(aim, datagram.lines - 1);
        if (lines < 2) {
            throw Error(ErrorKind::overflow, "the profile does not fit one datagram of " +
                                                 std::to_string(datagram_most_bytes) +
                                                 " bytes, not even as its first and last lines");
        }
        Profile thinner = profile;
        datagram.fitted = reduce_profile(thinner, lines);
        datagram.bytes = datagram_text(thinner, fix, datagram.identifier, source);
        datagram.lines = thinner.rows.size();
    }
    return datagram;
}

Destination sounder_destination(const SounderFacts& sounder, std::string_view text)
{
    Destination destination = parse_destination(text, sounder.default_port);
    if (destination.port == 0) {
        throw Error(ErrorKind::type_mismatch, "the destination " + quoted(text) + " names no port, and " +
                                                  std::string(sounder.port_hint) + ": write HOST:PORT");
    }
    return destination;
}

std::string sent_status(const SoundSpeedDatagram& datagram, const NetAddress& to, const SounderFacts& sounder)
{
    return counted(static_cast<std::int64_t>(datagram.lines), "line") + " to " + to.text() + " (" +
           std::string(sounder.name) + ", " + std::string(datagram.identifier) + ")";
}

std::vector<std::string> datagram_notes(const SoundSpeedDatagram& datagram)
{
    std::vector<std::string> notes = shaping_notes(datagram.shaping);
    if (datagram.fitted) {
        notes.push_back("thinned to " + std::to_string(datagram.fitted->lines_after) +
                        " lines to fit one datagram of " + std::to_string(datagram_most_bytes) +
                        " bytes (Douglas-Peucker tolerance " + value_text(datagram.fitted->tolerance_m_s, 2) +
                        " m/s)");
    }
    return notes;
}

} // namespace quillonde
