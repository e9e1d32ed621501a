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
};

} // namespace quillonde
