#pragma once

#include "formats/format.h"

namespace quillonde {

/// Kongsberg sound velocity profiles (*.asvp), as SIS loads them: the header line
/// "( SoundVelocity 1.0 0 YYYYMMDDhhmm LAT LON -1 0 0 SOURCE P N )", then N lines of depth and
/// sound speed. SIS takes at most 1,000 lines.
class AsvpWriter : public ProfileWriter {
public:
    const FormatFacts& facts() const override;
    void write(const Profile& profile, const CastInfo& cast, OutputFile& file) const override;
    bool needs_time_and_position() const override { return true; }
    std::size_t most_lines() const override;
    bool shaped_for_sounder() const override { return true; }
    bool writes_field(std::size_t field) const override;
};

/// Kongsberg sound velocity profiles, with the header of SIS 4 (12 fields) or of SIS 5 (13, a
/// thinning factor after the longitude), and times of 12 or 14 digits.
class AsvpReader : public CastReader {
public:
    const FormatFacts& facts() const override;
    Evidence recognises(std::string_view head) const override;
    ReaderRules rules() const override { return profile_file_rules; }
    std::unique_ptr<CastParser> parser(CastSink& sink, std::string_view path) const override;
};

} // namespace quillonde
