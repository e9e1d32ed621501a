#pragma once

#include "formats/format.h"

#include <string_view>

namespace quillonde {

/// The id of the Sea & Sun format.
inline constexpr std::string_view tob_id = "tob";

/// Sea & Sun casts (*.TOB), as the probes' acquisition software writes them: a "Lines :" line with
/// the row count, a "; Datasets ..." header line naming the columns, a units line, and one data
/// line per row, its first field the row number. Fields are separated by runs of blanks.
class TobReader : public CastReader {
public:
    const FormatFacts& facts() const override;
    Evidence recognises(std::string_view head) const override;
    ReaderRules rules() const override;
    std::unique_ptr<CastParser> parser(CastSink& sink, std::string_view path) const override;
};

} // namespace quillonde
