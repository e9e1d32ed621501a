#include "profile/sva.h"

#include "profile/output_file.h"
#include "runtime/cell.h"
#include "runtime/convert.h"
#include "runtime/error.h"

namespace quillonde {

namespace {

constexpr std::size_t write_block_bytes = std::size_t{1} << 16;

std::string row_place(std::int32_t row)
{
    return row == 0 ? "the header" : "table row " + std::to_string(row);
}

} // namespace

std::string sva_field(double value, int decimals)
{
    return double_to_str(round_to(value, decimals));
}

std::int32_t write_sva(const ProfileTable& table, std::int32_t depth_column, const ProfileColumns& columns,
                       OutputFile& file)
{
    std::string block(sva_header);
    std::int32_t block_row = 0; // the table row of the block's last line; 0 for the header
    std::int32_t lines = 0;
    for_each_profile_row(table, depth_column,
                         [&](std::int32_t row, double /*depth_m*/, const std::string& depth_text) {
                             try {
                                 block += depth_text;
                                 block += '\t';
                                 for (std::size_t f = 0; f < profile_fields.size(); ++f) {
                                     const double value = with_subject(profile_fields[f].name, [&] {
                                         return cell_to_double(table.cell(columns[f], row));
                                     });
                                     block += sva_field(value, profile_fields[f].decimals);
                                     block += '\t';
                                 }
                                 block += "\r\n";
                                 ++lines;
                                 block_row = row;
                                 if (block.size() >= write_block_bytes) {
                                     file.write(block);
                                     block.clear();
                                 }
                             } catch (const Error& error) {
                                 throw error.at(row_place(row));
                             }
                         });
    try {
        file.write(block);
    } catch (const Error& error) {
        throw error.at(row_place(block_row));
    }
    return lines;
}

} // namespace quillonde
