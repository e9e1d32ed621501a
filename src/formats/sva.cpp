#include "formats/sva.h"

#include "profile/output_file.h"
#include "runtime/error.h"

namespace quillonde {

namespace {

constexpr FormatFacts sva_facts{
    "sva",
    "ELAC Sound File *.sva",
    "*.sva",
    "ELAC Nautik multibeam echo sounders",
    "depth [m], sound velocity [m/s], temperature, salinity and conductivity",
};

constexpr std::size_t write_block_bytes = std::size_t{1} << 16;

} // namespace

const FormatFacts& SvaWriter::facts() const
{
    return sva_facts;
}

void SvaWriter::write(const Profile& profile, const CastInfo& /*cast*/, OutputFile& file) const
{
    // Written in blocks, so that a failure names a table row near the line that caused it.
    std::string block(sva_header);
    std::int32_t block_row = 0; // the table row of the block's last line; 0 for the header
    const auto flush = [&] {
        try {
            file.write(block);
        } catch (const Error& error) {
            throw error.at(row_place(block_row));
        }
        block.clear();
    };
    for (const ProfileRow& line : profile.rows) {
        block += value_text(line.depth_m, depth_decimals);
        block += '\t';
        for (std::size_t f = 0; f < profile_fields.size(); ++f) {
            block += value_text(line.values[f], profile_fields[f].decimals);
            block += '\t';
        }
        block += "\r\n";
        block_row = line.table_row;
        if (block.size() >= write_block_bytes) {
            flush();
        }
    }
    flush();
}

} // namespace quillonde
