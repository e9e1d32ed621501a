#pragma once

#include "formats/format.h"

namespace quillonde {

/// Valeport casts as Valeport's Connect and Ocean software and the SWiFT's app write them (*.vp2:
/// SWiFT SVP and CTD, RapidPro): a [HEADER] of key=value lines, [COLUMNS] with each column's type,
/// unit and whether the instrument calculated it, and [DATA] with a TAB-separated title row, a
/// units row and the rows.
class Vp2Reader : public CastReader {
public:
    const FormatFacts& facts() const override;
    Evidence recognises(std::string_view head) const override;
    std::unique_ptr<CastParser> parser(CastSink& sink, std::string_view path) const override;
};

/// Valeport casts as the probes' DataLog software uploads them: the Mini and Rapid series (*.TXT:
/// "Key: value" header lines, then TAB-separated rows of pressure or depth, as "Pressure units:"
/// says, and the probe's values) and the MIDAS and Monitor series (*.000: "Key :<TAB>value" lines,
/// then a title row of "NAME;UNIT" fields and the rows).
class ValeportTextReader : public CastReader {
public:
    const FormatFacts& facts() const override;
    Evidence recognises(std::string_view head) const override;
    std::unique_ptr<CastParser> parser(CastSink& sink, std::string_view path) const override;
};

} // namespace quillonde
