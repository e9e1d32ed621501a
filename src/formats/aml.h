#pragma once

#include "formats/format.h"

namespace quillonde {

/// AML Oceanographic casts as SeaCast exports them (*.csv: Base.X, Base.X2): "[cast header]",
/// "[Instrument]", a "[Slot n]" for each sensor, "[Data.X]" with the position of the cast, then
/// "[data]": comma-separated rows of date, time and the sensors' values, under a title row or, when
/// there is none, in the order the slots and the "C position", "SV position" and "Real positions"
/// lines give.
class AmlReader : public CastReader {
public:
    const FormatFacts& facts() const override;
    Evidence recognises(std::string_view head) const override;
    std::unique_ptr<CastParser> parser(CastSink& sink, std::string_view path) const override;
};

} // namespace quillonde
