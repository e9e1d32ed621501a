#include "cli/plot_command.h"

#include "form/headless_controls.h"
#include "form/loader.h"
#include "form/state.h"
#include "plot/plot_file.h"
#include "plot/profile_plot.h"
#include "profile/output_file.h"
#include "runtime/error.h"

#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <set>

namespace quillonde::cli {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view svg_extension = ".svg";
constexpr std::string_view interrupted_message = "interrupted; neither this nor what follows was plotted";

void report(Console console, std::string_view argument, std::string_view message)
{
    console.err << program_name << ": " << argument << ": " << message << '\n';
}

/// The toolkit's own chatter (a missing runtime folder, font notes) is not the tool's to print.
void quiet(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::fprintf(stderr, "%s: %s\n", program_name.data(), message.toLocal8Bit().constData());
    }
}

std::unique_ptr<QGuiApplication> start_toolkit()
{
    if (QGuiApplication::instance() != nullptr) {
        return nullptr;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qInstallMessageHandler(quiet);
    static int argc = 1;
    static char name[] = "quillonde-cli";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

bool same_file(const fs::path& a, const fs::path& b)
{
    std::error_code ec;
    return fs::equivalent(a, b, ec);
}

} // namespace

RunResult plot_casts(const Water& water, const std::vector<std::string>& columns,
                     const std::vector<std::string>& inputs, const std::string& output, Console console)
{
    const std::unique_ptr<QGuiApplication> toolkit = start_toolkit();
    HeadlessControls controls(&console.stop);
    controls.set_water(water.option);
    if (water.option == OptionButton::op_salt) {
        controls.set_text(TextBox::tx_lat, water.latitude);
    }
    ProfileState state;
    ProfilePlot plot(state);
    std::set<std::string> written;
    bool failed = false;
    for (const std::string& input : inputs) {
        if (console.stop.load()) {
            report(console, input, interrupted_message);
            return RunResult::interrupted;
        }
        try {
            const std::string target =
                output.empty() ? fs::path(input).replace_extension(svg_extension).string() : output;
            const bool is_input = std::any_of(inputs.begin(), inputs.end(), [&](const std::string& other) {
                return same_file(other, target);
            });
            if (input.empty() || is_input || written.contains(fs::weakly_canonical(target).string())) {
                report(console, input,
                       input.empty()
                           ? "no file name given"
                           : "the output " + quoted(target, std::string_view::npos) +
                                 (is_input ? " is one of the inputs" : " has already been written") +
                                 "; it is left as it is");
                failed = true;
                continue;
            }
            controls.set_text(TextBox::tx_ss_file, input);
            if (load_data_file(controls, state) == LoadOutcome::stopped) {
                report(console, input, interrupted_message);
                return RunResult::interrupted;
            }
            std::vector<std::string> names;
            for (int i = 0; i < controls.list_count(); ++i) {
                names.push_back(controls.list_entry(i));
            }
            plot.set_columns(std::move(names), columns);
            for (const std::string& missing : plot.missing_columns()) {
                report(console, input, "no column named \"" + missing + "\"; the plot leaves it out");
            }
            if (plot.shown_columns().empty()) {
                report(console, input, "none of the columns to plot is in the cast; nothing written");
                failed = true;
                continue;
            }
            const QByteArray bytes = render_plot(plot, plot_format_for(target));
            OutputFile file(target);
            file.write(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
            file.commit();
            written.insert(fs::weakly_canonical(target).string());
            console.out << input << " -> " << target << ": " << state.g_table.filled_rows() << " rows, "
                        << plot.profile_lines() << " profile lines" << std::endl;
        } catch (const std::exception& error) {
            report(console, input, error.what());
            failed = true;
        }
    }
    return failed ? RunResult::some_failed : RunResult::all_done;
}

} // namespace quillonde::cli
