#include "form/calculate.h"

#include "depth/formulas.h"
#include "runtime/convert.h"
#include "runtime/error.h"

#include <cstdint>
#include <string>

namespace quillonde {

namespace {

/// The depth of a pressure text, as the window converts it: the pressure by str_to_double, for
/// salt water the latitude by str_to_long after it. `latitude` is read only for salt water.
double depth_of(std::string_view pressure, bool salt_water, std::string_view latitude)
{
    const double pressure_dbar = with_subject("pressure", [&] { return str_to_double(pressure); });
    if (!salt_water) {
        return fresh_con(pressure_dbar);
    }
    const std::int32_t latitude_deg = with_subject("latitude", [&] { return str_to_long(latitude); });
    return salt_con(latitude_deg, pressure_dbar);
}

} // namespace

void calculate_depth(Controls& controls)
{
    // Two tests, not one and its alternative: with neither option selected nothing changes.
    if (controls.selected(OptionButton::op_fresh)) {
        const double depth_m = depth_of(controls.text(TextBox::tx_press), false, {});
        controls.set_caption(Label::lb_depth, std::string(depth_caption_prefix) + double_to_str(depth_m));
    }
    if (controls.selected(OptionButton::op_salt)) {
        const std::string latitude = controls.text(TextBox::tx_lat);
        const double depth_m = depth_of(controls.text(TextBox::tx_press), true, latitude);
        controls.set_caption(Label::lb_depth, std::string(depth_caption_prefix) + double_to_str(depth_m));
    }
}

} // namespace quillonde
