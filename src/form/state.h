#pragma once

#include "profile/table.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillonde {

/// The water type and latitude a depth was computed for.
struct DepthBasis {
    bool salt_water = false;
    std::int32_t latitude_deg = 0; ///< salt water only; 0 for fresh water

    friend bool operator==(const DepthBasis&, const DepthBasis&) = default;
};

/// What the last load did beyond filling the table: what the questions before an export and the
/// profile plot tell the user.
struct LoadRecord {
    std::string cast_path;                 ///< as tx_ss_file held it; empty before the first load
    std::optional<DepthBasis> depth_basis; ///< what the first stored depth was computed for
    bool mixed_basis = false;              ///< a later depth was computed for something else
    std::int32_t press_col = -1;           ///< the pressure column of the depths; -1 if none is named
    std::uint64_t failed_line = 0;         ///< the line the load stopped at with an error; 0 if none
    std::string failure;                   ///< that error's message
    bool stopped = false;                  ///< the window closed in the middle of the load
    /// The unit of each table column from the cast's units line ("dbar"), as the file's bytes;
    /// empty when the cast has none or its units do not match the header's names.
    std::vector<std::string> units;

    /// Notes the basis of one more stored depth.
    void depth_computed(const DepthBasis& basis)
    {
        if (!depth_basis) {
            depth_basis = basis;
        } else if (!(*depth_basis == basis)) {
            mixed_basis = true;
        }
    }
};

/// What outlives a load: the profile table and the index of its last named column (the depth
/// column is ccolumns + 1), which each header line a load reads replaces, and what the last load
/// did.
struct ProfileState {
    ProfileTable g_table;
    std::int32_t ccolumns = 0;
    LoadRecord last_load;
};

} // namespace quillonde
