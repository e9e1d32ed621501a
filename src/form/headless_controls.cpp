#include "form/headless_controls.h"

namespace quillonde {

std::string HeadlessControls::list_entry(int index) const
{
    return list_.at(static_cast<std::size_t>(index));
}

} // namespace quillonde
