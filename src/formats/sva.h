#pragma once

#include "formats/format.h"

#include <string_view>

namespace quillonde {

/// The header of every ELAC sound velocity file this program writes: ".profile  1" and an empty line.
inline constexpr std::string_view sva_header = ".profile  1\r\n\r\n";

/// ELAC sound velocity files (*.sva): the header, then for each profile line its depth and the
/// values of profile_fields, each followed by a TAB, the line ending in CR LF.
class SvaWriter : public ProfileWriter {
public:
    const FormatFacts& facts() const override;
    void write(const Profile& profile, const CastInfo& cast, OutputFile& file) const override;
    bool writes_header_alone() const override { return true; }
    /// The files end where the thinning ends, as they always have.
    bool ends_where_thinned() const override { return true; }
};

/// ELAC sound velocity files of both dialects: the one this program writes, and the one of other
/// software, whose "# depth veloc. temp. salin. cond." and units comment lines come before
/// ".profile 0" and whose rows are fixed-width. Columns go by the comment's names where it gives
/// them, else they are depth and the profile fields. Values are taken as they stand, also the 0.00
/// that some software writes for a field a probe did not measure.
class SvaReader : public CastReader {
public:
    const FormatFacts& facts() const override;
    Evidence recognises(std::string_view head) const override;
    ReaderRules rules() const override { return profile_file_rules; }
    std::unique_ptr<CastParser> parser(CastSink& sink, std::string_view path) const override;
};

} // namespace quillonde
