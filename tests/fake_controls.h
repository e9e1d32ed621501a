#pragma once

#include "form/controls.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillonde::testing {

/// The window's controls as plain values, with the texts of a freshly opened window. The file
/// dialog answers with `dialog_answer`; `on_process_events` runs at every event round of a load.
class FakeControls : public Controls {
public:
    std::map<TextBox, std::string> texts = {{TextBox::tx_lat, "45"},
                                            {TextBox::tx_press, "100"},
                                            {TextBox::tx_ss_file, ""},
                                            {TextBox::tx_out, ""}};
    OptionButton water = OptionButton::op_fresh;
    std::map<Label, std::string> captions = {
        {Label::lb_depth, "Depth [m]: "}, {Label::Label4, "-"}, {Label::Label6, "-"}};
    std::vector<std::string> status_log; // every caption Label6 was given, in order
    std::vector<std::string> list;

    std::string dialog_answer;
    std::vector<std::string> dialog_filters; // the selected filter's description at each showing
    std::vector<DialogMode> dialog_modes;

    int dialog_filter_answer = 0; // the filter selected when the dialog closes; 0: the one set

    std::vector<std::string> questions;                 // every question asked, in its words, in order
    std::function<bool(const Question&)> answer;        // without one, every answer is No
    std::function<std::size_t(const Question&)> choice; // without one, every choice is Cancel
    std::vector<FixRequest> fix_requests;               // every request for a time and position
    std::function<std::optional<CastFix>(const FixRequest&)> fix; // without one, each is cancelled

    std::function<bool(FakeControls&)> on_process_events;
    int process_events_calls = 0;
    bool steady = false; // what steady_while_loading() says

    std::string text(TextBox box) const override { return texts.at(box); }
    void set_text(TextBox box, std::string_view text) override { texts[box] = std::string(text); }
    bool selected(OptionButton option) const override { return option == water; }
    void set_caption(Label label, std::string_view caption) override
    {
        captions[label] = std::string(caption);
        if (label == Label::Label6) {
            status_log.emplace_back(caption);
        }
    }
    void list_clear() override { list.clear(); }
    void list_add(std::string_view entry) override { list.emplace_back(entry); }
    void dialog_set_filter(std::string_view filter_list, int index) override
    {
        // "description|patterns|..." : the description of pair `index`, counted from 1.
        std::size_t at = 0;
        for (int pair = 1; pair < index; ++pair) {
            at = filter_list.find('|', filter_list.find('|', at) + 1) + 1;
        }
        filter_ = filter_list.substr(at, filter_list.find('|', at) - at);
        index_ = index;
    }
    void dialog_show(DialogMode mode) override
    {
        dialog_filters.push_back(filter_);
        dialog_modes.push_back(mode);
    }
    std::string dialog_file_name() const override { return dialog_answer; }
    int dialog_filter_index() const override
    {
        return dialog_filter_answer > 0 ? dialog_filter_answer : index_;
    }
    bool ask(const Question& question) override
    {
        questions.push_back(question_text(question));
        return answer ? answer(question) : false;
    }
    std::size_t choose(const Question& question) override
    {
        questions.push_back(question_text(question));
        return choice ? choice(question) : question_answers(question).size() - 1;
    }
    std::optional<CastFix> ask_time_and_position(const FixRequest& request) override
    {
        fix_requests.push_back(request);
        return fix ? fix(request) : std::nullopt;
    }
    bool steady_while_loading() const override { return steady; }
    bool process_events() override
    {
        ++process_events_calls;
        return on_process_events ? on_process_events(*this) : true;
    }

private:
    std::string filter_;
    int index_ = 0;
};

} // namespace quillonde::testing
