#include "form/water.h"

namespace quillonde {

std::optional<DepthBasis> window_basis(const Controls& controls)
{
    if (controls.selected(OptionButton::op_salt)) {
        const std::string latitude = controls.text(TextBox::tx_lat);
        return DepthBasis{true, with_subject("latitude", [&] { return str_to_long(latitude); })};
    }
    if (controls.selected(OptionButton::op_fresh)) {
        return DepthBasis{};
    }
    return std::nullopt;
}

} // namespace quillonde
