#pragma once

#include <cstdint>
#include <string_view>

namespace quillonde {

/// One entry of the profile table or one field of a split line: empty, a text or a double.
/// A cell is a view: a text cell points into storage that its owner keeps alive.
class Cell {
public:
    enum class Kind { empty, text, number };

    constexpr Cell() noexcept = default;
    static constexpr Cell text(std::string_view text) noexcept { return {Kind::text, text, 0.0}; }
    static constexpr Cell number(double value) noexcept { return {Kind::number, {}, value}; }

    constexpr Kind kind() const noexcept { return kind_; }
    constexpr bool is_empty() const noexcept { return kind_ == Kind::empty; }
    /// The text of a text cell; empty otherwise.
    constexpr std::string_view as_text() const noexcept { return text_; }
    /// The value of a number cell; 0 otherwise.
    constexpr double as_number() const noexcept { return number_; }

private:
    constexpr Cell(Kind kind, std::string_view text, double number) noexcept
        : kind_(kind), text_(text), number_(number)
    {
    }

    Kind kind_ = Kind::empty;
    std::string_view text_;
    double number_ = 0.0;
};

/// Empty gives 0, a text is read as by str_to_double, a double is itself.
double cell_to_double(const Cell& cell);

} // namespace quillonde
