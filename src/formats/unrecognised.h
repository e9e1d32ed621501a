#pragma once

#include "formats/format.h"

#include <string_view>
#include <vector>

namespace quillonde {

/// The reader of a file that none of `tried` recognises by `head`: the first of them, whose
/// complaint that the file holds no cast goes on to name the formats tried; a file that is no text
/// at all is refused at once.
const CastReader& unrecognised_reader(std::string_view head, const std::vector<const CastReader*>& tried);

} // namespace quillonde
