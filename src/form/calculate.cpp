#include "form/calculate.h"

#include "form/water.h"
#include "runtime/convert.h"

#include <string>

namespace quillonde {

void calculate_depth(Controls& controls)
{
    const std::string pressure = controls.text(TextBox::tx_press);
    const auto depth = depth_for_window(
        controls, [&] { return with_subject("pressure", [&] { return str_to_double(pressure); }); });
    if (depth) {
        controls.set_caption(Label::lb_depth,
                             std::string(depth_caption_prefix) + double_to_str(depth->depth_m));
    }
}

} // namespace quillonde
