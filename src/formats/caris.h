#pragma once

#include "formats/format.h"

namespace quillonde {

/// CARIS sound velocity profiles (*.svp, version 2), as HIPS and SIPS and QPS Qimera load them:
/// "[SVP_VERSION_2]", the file's name, then for each cast a line
/// "Section YYYY-DDD HH:MM:SS D:MM:SS.ss D:MM:SS.ss" (UTC day of the year and time, latitude and
/// longitude, south and west with a "-" in front) and its lines of depth and sound speed; CR LF.
/// A cast is added to a file as a new section after the others.
class CarisWriter : public ProfileWriter {
public:
    const FormatFacts& facts() const override;
    void write(const Profile& profile, const CastInfo& cast, OutputFile& file) const override;
    bool needs_time_and_position() const override { return true; }
    bool writes_field(std::size_t field) const override;
    bool holds_many_casts() const override { return true; }
    std::optional<std::size_t> casts_held(std::string_view bytes) const override;
    std::string foreign_file(std::string_view head) const override;
    void write_added(const Profile& profile, const CastInfo& cast, std::string_view existing,
                     OutputFile& file) const override;
};

/// CARIS sound velocity profiles: every section is read, the newest (by its time; of two alike, the
/// later one in the file) is loaded. A position may be sexagesimal or decimal, or missing.
class CarisReader : public CastReader {
public:
    const FormatFacts& facts() const override;
    Evidence recognises(std::string_view head) const override;
    ReaderRules rules() const override { return profile_file_rules; }
    std::unique_ptr<CastParser> parser(CastSink& sink, std::string_view path) const override;
};

} // namespace quillonde
