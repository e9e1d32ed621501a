#include "runtime/error.h"

#include <utility>

namespace quillonde {

namespace {

std::string compose(ErrorKind kind, const std::string& detail, const std::string& where)
{
    const std::string_view title = kind_title(kind);
    if (title.empty()) {
        return where.empty() ? detail : detail + " (" + where + ")";
    }
    std::string message(title);
    if (!where.empty()) {
        message += " at ";
        message += where;
    }
    message += ": ";
    message += detail;
    return message;
}

} // namespace

std::string_view kind_title(ErrorKind kind)
{
    switch (kind) {
    case ErrorKind::type_mismatch: return "Type mismatch";
    case ErrorKind::overflow: return "Overflow";
    case ErrorKind::subscript_out_of_range: return "Subscript out of range";
    case ErrorKind::out_of_memory: return "Out of memory";
    case ErrorKind::file_not_found: return "File not found";
    case ErrorKind::not_a_file: return "Not a file";
    case ErrorKind::path_not_found: return "Path not found";
    case ErrorKind::permission_denied: return "Permission denied";
    case ErrorKind::io_error: return "Input/output error";
    case ErrorKind::bad_data_file: return "Not a data file";
    case ErrorKind::no_profile:
    case ErrorKind::missing_column:
    case ErrorKind::refused: return {};
    }
    return {};
}

Error::Error(ErrorKind kind, std::string detail, std::string where)
    : std::runtime_error(compose(kind, detail, where)), kind_(kind), detail_(std::move(detail)),
      where_(std::move(where))
{
}

Error Error::at(std::string where) const
{
    if (!where_.empty()) {
        return *this;
    }
    return {kind_, detail_, std::move(where)};
}

Error Error::about(std::string_view subject) const
{
    return {kind_, std::string(subject) + " " + detail_, where_};
}

std::string quoted(std::string_view text, std::size_t max_shown)
{
    constexpr char hex[] = "0123456789ABCDEF";
    const bool shortened = text.size() > max_shown;
    if (shortened) {
        text = text.substr(0, max_shown);
    }
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            out += "\\x";
            out += hex[byte >> 4U];
            out += hex[byte & 0x0FU];
        } else {
            out += c;
        }
    }
    out += shortened ? "...\"" : "\"";
    return out;
}

} // namespace quillonde
