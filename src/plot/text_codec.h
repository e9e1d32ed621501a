#pragma once

#include <QString>

#include <string_view>

namespace quillonde {

/// Bytes from a data file as the acquisition software wrote them: Windows-1252 (Latin-1 with
/// typographic signs in 0x80 to 0x9F).
QString from_windows_1252(std::string_view bytes);

/// A message of the program: UTF-8 (paths are UTF-8), or Windows-1252 where it quotes bytes of a
/// data file that are not UTF-8.
QString from_message(std::string_view bytes);

} // namespace quillonde
