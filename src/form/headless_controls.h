#pragma once

#include "form/controls.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillonde {

/// The window's controls without a window, for the batch tool, the benchmarks and the fuzzers: the
/// texts of a freshly opened window, a file dialog that is always cancelled (so the handlers take
/// the paths put into tx_ss_file and tx_out), questions answered by the caller, and event rounds
/// that only ask whether to stop.
class HeadlessControls : public Controls {
public:
    /// `stop`, when given, is read at every event round; once it is true, a load stops.
    explicit HeadlessControls(const std::atomic<bool>* stop = nullptr) : stop_(stop) {}

    void set_water(OptionButton selected) { water_ = selected; }
    /// Who answers the handlers' questions; without one, every answer is No.
    void set_answerer(std::function<bool(const Question&)> answerer) { answerer_ = std::move(answerer); }
    /// Who answers the questions of more than two answers; without one, every answer is Cancel.
    void set_chooser(std::function<std::size_t(const Question&)> chooser) { chooser_ = std::move(chooser); }
    /// Who gives a cast's time and position; without one, nobody does.
    void set_fixer(std::function<std::optional<CastFix>(const FixRequest&)> fixer)
    {
        fixer_ = std::move(fixer);
    }
    /// The filter the cancelled dialog reports as selected, counted from 1; 0 for the one set.
    void set_dialog_filter(int index) { chosen_filter_ = index; }
    std::string caption(Label label) const { return captions_.at(static_cast<std::size_t>(label)); }

    std::string text(TextBox box) const override { return texts_.at(static_cast<std::size_t>(box)); }
    void set_text(TextBox box, std::string_view text) override
    {
        texts_.at(static_cast<std::size_t>(box)) = text;
    }
    bool selected(OptionButton option) const override { return option == water_; }
    void set_caption(Label label, std::string_view caption) override
    {
        captions_.at(static_cast<std::size_t>(label)) = caption;
    }
    void list_clear() override { list_.clear(); }
    void list_add(std::string_view entry) override { list_.emplace_back(entry); }
    /// The entries of List1.
    const std::vector<std::string>& list() const { return list_; }
    void dialog_set_filter(std::string_view /*filter_list*/, int index) override { set_filter_ = index; }
    void dialog_show(DialogMode /*mode*/) override {}
    std::string dialog_file_name() const override { return {}; }
    int dialog_filter_index() const override { return chosen_filter_ > 0 ? chosen_filter_ : set_filter_; }
    bool ask(const Question& question) override { return answerer_ ? answerer_(question) : false; }
    std::size_t choose(const Question& question) override
    {
        return chooser_ ? chooser_(question) : question_answers(question).size() - 1;
    }
    std::optional<CastFix> ask_time_and_position(const FixRequest& request) override
    {
        return fixer_ ? fixer_(request) : std::nullopt;
    }
    bool process_events() override { return stop_ == nullptr || !stop_->load(std::memory_order_relaxed); }
    bool steady_while_loading() const override { return true; }

private:
    const std::atomic<bool>* stop_;
    std::function<bool(const Question&)> answerer_;
    std::function<std::size_t(const Question&)> chooser_;
    std::function<std::optional<CastFix>(const FixRequest&)> fixer_;
    int set_filter_ = 1;
    int chosen_filter_ = 0;
    OptionButton water_ = OptionButton::op_fresh;
    std::array<std::string, 4> texts_ = {"45", "100", "", ""};        // in the order of TextBox
    std::array<std::string, 3> captions_ = {"Depth [m]: ", "-", "-"}; // in the order of Label
    std::vector<std::string> list_;
};

} // namespace quillonde
