#include "form/calculate.h"

#include "runtime/convert.h"

#include <string>

namespace quillonde {

std::optional<WaterDepth> calculate_depth(Controls& controls)
{
    const std::string pressure = controls.text(TextBox::tx_press);
    const auto read_pressure = [&] {
        return with_subject("pressure", [&] { return str_to_double(pressure); });
    };
    if (controls.selected(OptionButton::op_salt)) {
        read_pressure(); // a bad pressure is reported before anything about the latitude
        if (!latitude_confirmed(controls)) {
            return std::nullopt;
        }
    }
    const auto depth = depth_for_window(controls, read_pressure);
    if (depth) {
        controls.set_caption(Label::lb_depth,
                             std::string(depth_caption_prefix) + double_to_str(depth->depth_m));
    }
    return depth;
}

} // namespace quillonde
