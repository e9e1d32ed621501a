#pragma once

#include "formats/format.h"

namespace quillonde {

/// SonTek CastAway-CTD casts as its software exports them (*.csv): "% Key,value" header lines
/// ("% Device", "% Cast time (UTC)", "% Start latitude" ...), then a title row whose units are
/// words in brackets ("Pressure (Decibar)", "Conductivity (MicroSiemens per Centimeter)"), then
/// one row per sample.
class CastawayReader : public CastReader {
public:
    const FormatFacts& facts() const override;
    Evidence recognises(std::string_view head) const override;
    std::unique_ptr<CastParser> parser(CastSink& sink, std::string_view path) const override;
};

} // namespace quillonde
