#pragma once

#include "depth/formulas.h"
#include "formats/cast.h"
#include "profile/cast_steps.h"
#include "profile/table.h"
#include "profile/water_ranges.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillonde {

/// What the last load did beyond filling the table: what the questions before an export and the
/// profile plot tell the user.
struct LoadRecord {
    std::string cast_path;                 ///< as tx_ss_file held it; empty before the first load
    std::optional<DepthBasis> depth_basis; ///< what the first computed depth was computed for
    bool mixed_basis = false;              ///< a later depth was computed for something else
    std::int32_t press_col = -1;           ///< the pressure column of the depths; -1 if none
    std::int32_t depth_col = -1;           ///< the column of depths taken as the file gives them; -1 if none
    std::int32_t names_listed = 0;         ///< the column names the load put into List1, of all headers
    std::uint64_t failed_line = 0;         ///< the line the load stopped at with an error; 0 if none
    std::string failure;                   ///< that error's message
    std::int32_t rows_before_failure = 0;  ///< the rows stored before that line
    std::uint64_t unended_line = 0;        ///< the last line, when it has no line end; 0 if it has one
    std::optional<std::int32_t> rows_declared; ///< the rows the file states it holds, where it states them
    bool stopped = false;                      ///< the window closed in the middle of the load
    OutsideWaterFound outside_water;           ///< the samples no water can have, their rows left out

    /// Notes the basis of one more computed depth.
    void depth_computed(const DepthBasis& basis)
    {
        if (!depth_basis) {
            depth_basis = basis;
        } else if (!(*depth_basis == basis)) {
            mixed_basis = true;
        }
    }
};

/// The rows a file states where it holds fewer; nothing when it holds them all or states none.
inline std::optional<std::int32_t> rows_missing_of(const LoadRecord& load, std::int32_t rows_held)
{
    if (load.rows_declared && *load.rows_declared > rows_held) {
        return load.rows_declared;
    }
    return std::nullopt;
}

/// What outlives a load: the profile table and the index of its last named column (the depth
/// column is ccolumns + 1), which each header line a load reads replaces; what the file said of
/// itself and of those columns; and what the last load did.
struct ProfileState {
    ProfileTable g_table;
    std::int32_t ccolumns = 0;
    CastInfo cast;
    LoadRecord last_load;
    /// The steps the user asked for between the cast and its profile.
    Steps steps;
    /// Of a file that holds many casts, the one the next load takes (CastSink::part_wanted).
    std::size_t part_wanted = 0;

    /// The names of the table's columns as the window lists them: none after a load that failed
    /// before its header, which emptied the list but left the table as it was.
    std::vector<std::string> listed_names() const
    {
        std::vector<std::string> names;
        if (last_load.names_listed > 0) {
            for (const CastColumn& column : cast.columns) {
                names.push_back(column.name);
            }
        }
        return names;
    }
};

} // namespace quillonde
