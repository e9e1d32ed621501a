#include "cli/plot_command.h"

#include "cli/batch.h"
#include "form/headless_controls.h"
#include "form/loader.h"
#include "form/state.h"
#include "plot/plot_file.h"
#include "plot/profile_plot.h"
#include "profile/output_file.h"
#include "runtime/error.h"

#include <QGuiApplication>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>

namespace quillonde::cli {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view svg_extension = ".svg";
constexpr std::string_view interrupted_message = "interrupted; neither this nor what follows was plotted";

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

} // namespace

RunResult plot_casts(const Water& water, const std::vector<std::string>& columns,
                     const std::vector<std::string>& inputs, const std::string& output, Console console)
{
    const std::unique_ptr<QGuiApplication> toolkit = start_toolkit();
    HeadlessControls controls = controls_for(water, console.stop);
    ProfileState state;
    ProfilePlot plot(state);
    OutputGuard guard(inputs);
    bool failed = false;
    for (const std::string& input : inputs) {
        if (console.stop.load()) {
            report(console, input, interrupted_message);
            return RunResult::interrupted;
        }
        try {
            const std::string target =
                output.empty() ? fs::path(input).replace_extension(svg_extension).string() : output;
            const std::string refusal =
                input.empty() ? std::string(no_file_name_message) : guard.refusal(input, target);
            if (!refusal.empty()) {
                report(console, input, refusal);
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
            OutputFile file(target, [&controls] { return controls.process_events(); });
            file.write(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
            file.commit();
            guard.written(input, target);
            console.out << input << " -> " << target << ": " << state.g_table.filled_rows() << " rows, "
                        << plot.profile_lines() << " profile lines" << std::endl;
        } catch (const WriteStopped&) { // a signal while the plot waited on a pipe
            report(console, input, interrupted_message);
            return RunResult::interrupted;
        } catch (const std::exception& error) {
            report(console, input, error.what());
            failed = true;
        }
    }
    return failed ? RunResult::some_failed : RunResult::all_done;
}

} // namespace quillonde::cli
