#pragma once

#include "formats/format.h"

namespace quillonde {

/// HYPACK sound velocity files (*.vel): "FTP NEW 3 LAT LON HH:MM MM/DD/YYYY" (decimal degrees, the
/// time in UTC without seconds, the date month first), then lines of depth and sound speed; CR LF.
class HypackWriter : public ProfileWriter {
public:
    const FormatFacts& facts() const override;
    void write(const Profile& profile, const CastInfo& cast, OutputFile& file) const override;
    bool needs_time_and_position() const override { return true; }
    bool writes_field(std::size_t field) const override;
};

/// HYPACK sound velocity files; the position, time and date of the first line may be missing.
class HypackReader : public CastReader {
public:
    const FormatFacts& facts() const override;
    Evidence recognises(std::string_view head) const override;
    ReaderRules rules() const override { return profile_file_rules; }
    std::unique_ptr<CastParser> parser(CastSink& sink, std::string_view path) const override;
};

} // namespace quillonde
