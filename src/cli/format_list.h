#pragma once

#include <string>

namespace quillonde::cli {

/// The formats the tool reads and writes, for the end of its help: a line for each, by the name
/// --format takes (and info --json gives), in the registry's order.
std::string formats_help();

/// The formats as a Markdown table, one row for each, as the README shows them.
std::string formats_table();

/// The manual page whose list of formats formats_manual() makes.
enum class ManualPage {
    window,    ///< quillonde.1: the formats by the file dialogs' filters
    batch_tool ///< quillonde-cli.1: the formats by the names --format takes
};

/// The FORMATS section of a manual page, in roff, as the page holds it.
std::string formats_manual(ManualPage page);

} // namespace quillonde::cli
