#include "ui/headless_controls.h"

namespace quillonde {

std::string HeadlessControls::text(TextBox box) const
{
    switch (box) {
    case TextBox::tx_lat: return tx_lat_;
    case TextBox::tx_press: return tx_press_;
    case TextBox::tx_ss_file: return tx_ss_file_;
    case TextBox::tx_out: return tx_out_;
    }
    return {};
}

void HeadlessControls::set_text(TextBox box, std::string_view text)
{
    switch (box) {
    case TextBox::tx_lat: tx_lat_ = text; break;
    case TextBox::tx_press: tx_press_ = text; break;
    case TextBox::tx_ss_file: tx_ss_file_ = text; break;
    case TextBox::tx_out: tx_out_ = text; break;
    }
}

std::string HeadlessControls::caption(Label label) const
{
    switch (label) {
    case Label::lb_depth: return lb_depth_;
    case Label::Label4: return label4_;
    case Label::Label6: return label6_;
    }
    return {};
}

void HeadlessControls::set_caption(Label label, std::string_view caption)
{
    switch (label) {
    case Label::lb_depth: lb_depth_ = caption; break;
    case Label::Label4: label4_ = caption; break;
    case Label::Label6: label6_ = caption; break;
    }
}

std::string HeadlessControls::list_entry(int index) const
{
    return list_.at(static_cast<std::size_t>(index));
}

} // namespace quillonde
