#pragma once

#include "formats/format.h"

namespace quillonde {

/// RBR casts as Ruskin exports them to text (*.txt): a comma-separated title row of channel names
/// ("Time,Conductivity,Temperature,Pressure,...,Sea pressure,Depth,Salinity,Speed of sound"), a
/// unit in brackets after a name where the export adds it, then one row per sample. "Pressure" is
/// absolute; "Sea pressure" gives the depths. "key=value" lines may come before the title row.
class RbrReader : public CastReader {
public:
    const FormatFacts& facts() const override;
    Evidence recognises(std::string_view head) const override;
    std::unique_ptr<CastParser> parser(CastSink& sink, std::string_view path) const override;
};

} // namespace quillonde
