#pragma once

#include "formats/format.h"

namespace quillonde {

/// Sea-Bird casts (*.cnv) as SBE Data Processing converts them for the SBE 9, 19, 19plus, 25, 37
/// and their kin: a header of "*" (instrument), "**" (user) and "#" (processing) lines, whose
/// "# name N = short: Long name [unit]" lines name the columns, then "*END*" and one row per scan
/// in fields of one width, which a wide negative value may fill so that it touches its neighbour.
class SeabirdReader : public CastReader {
public:
    const FormatFacts& facts() const override;
    Evidence recognises(std::string_view head) const override;
    std::unique_ptr<CastParser> parser(CastSink& sink, std::string_view path) const override;
};

} // namespace quillonde
