#pragma once

#include "cli/commands.h"

#include <string>
#include <vector>

namespace quillonde::cli {

/// Loads each cast as the window's load does and prints what it says of itself (format,
/// instrument, serial, time, position, rows) and of each column (name, source name, unit,
/// conversion); with `json`, one JSON object on a line of its own for each cast, unknown values
/// null; of a file of many casts, each of them (time, position, lines) and the one loaded, which is
/// `profile.section` (from 1; 0 for the newest); and the profile convert would write with the
/// format, steps and echo sounder settings of `profile`: its lines and each step that shaped it.
/// A cast that fails prints its error on `err` only.
RunResult print_cast_info(const Water& water, const std::vector<std::string>& inputs, bool json,
                          Console console, const ProfileOptions& profile = {});

/// `bytes` as UTF-8: as they stand when they are UTF-8, else read as Windows-1252, as the window
/// shows the bytes of a data file.
std::string utf8_text(std::string_view bytes);

} // namespace quillonde::cli
