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

} // namespace quillonde
