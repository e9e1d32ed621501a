#pragma once

#include <cstdint>
#include <string>

namespace quillonde::bench {

struct CastShape {
    std::int32_t rows = 1'000'000; ///< as "Lines :" declares them
    std::int32_t row_step = 1;     ///< a data line for every row_step-th row number only
    int columns = 13;              ///< names in the header, "Datasets" included (at least 7)
    double deepest_dbar = 500.0;   ///< the cast goes down to this pressure and back up
    bool crlf = true;              ///< CR LF line endings, as the acquisition software writes
    std::uint32_t seed = 1;
};

/// Writes a synthetic Sea & Sun cast shaped like the real files: free text, calibration lines,
/// "Lines :", the header with blank padding, a units line, then the data lines, right-aligned in
/// fixed-width fields. The probe goes down over 70 % of the rows and comes up again.
void write_cast(const std::string& path, const CastShape& shape);

/// Writes the same rows as write_cast, as SBE Data Processing writes a Sea-Bird cast (*.cnv): the
/// header with "# name" lines, then fields 11 characters wide, conductivity in S/m.
void write_cnv(const std::string& path, const CastShape& shape);

} // namespace quillonde::bench
