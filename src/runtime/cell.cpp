#include "runtime/cell.h"

#include "runtime/convert.h"

namespace quillonde {

double cell_to_double(const Cell& cell)
{
    switch (cell.kind()) {
    case Cell::Kind::empty: return 0.0;
    case Cell::Kind::text: return str_to_double(cell.as_text());
    case Cell::Kind::number: return cell.as_number();
    }
    return 0.0;
}

std::int32_t cell_to_long(const Cell& cell)
{
    switch (cell.kind()) {
    case Cell::Kind::empty: return 0;
    case Cell::Kind::text: return str_to_long(cell.as_text());
    case Cell::Kind::number: return double_to_long(cell.as_number());
    }
    return 0;
}

bool cell_greater_than(const Cell& cell, double value) noexcept
{
    switch (cell.kind()) {
    case Cell::Kind::empty: return 0.0 > value;
    case Cell::Kind::number: return cell.as_number() > value;
    case Cell::Kind::text: {
        double number = 0.0;
        if (parse_number(cell.as_text(), number) != NumberStatus::ok) {
            return true;
        }
        return number > value;
    }
    }
    return false;
}

} // namespace quillonde
