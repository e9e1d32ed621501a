#pragma once

#include "formats/format.h"

namespace quillonde {

/// The title row of the profiles written as CSV.
inline constexpr std::string_view csv_title =
    "depth_m,sound_speed_m_s,temperature_c,salinity_psu,conductivity_ms_cm";

/// Profiles for a spreadsheet (*.csv): the title row, then for each profile line its depth and the
/// values of profile_fields, separated by commas, "." the decimal point; CR LF.
class CsvWriter : public ProfileWriter {
public:
    const FormatFacts& facts() const override;
    void write(const Profile& profile, const CastInfo& cast, OutputFile& file) const override;
    /// A field the cast does not give is left empty, never written as 0: nothing to ask about.
    bool writes_field(std::size_t field) const override { return field == sound_field; }
};

/// Profiles this program wrote as CSV, recognised by their title row; an empty cell is a value the
/// file does not give.
class CsvReader : public CastReader {
public:
    const FormatFacts& facts() const override;
    Evidence recognises(std::string_view head) const override;
    ReaderRules rules() const override { return profile_file_rules; }
    std::unique_ptr<CastParser> parser(CastSink& sink, std::string_view path) const override;
};

} // namespace quillonde
