#include "cli/plot_command.h"

#include "cli/batch.h"
#include "form/headless_controls.h"
#include "form/loader.h"
#include "form/state.h"
#include "plot/plot_file.h"
#include "plot/profile_plot.h"
#include "profile/output_file.h"
#include "runtime/error.h"
#include "runtime/text.h"

#include <QGuiApplication>

#include <cstdio>
#include <memory>

namespace quillonde::cli {

namespace {

constexpr std::string_view svg_extension = ".svg";
constexpr std::string_view nothing_to_plot = "none of the columns to plot is in the cast; nothing written";

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
    BatchJob job;
    job.extension = svg_extension;
    job.done = "plotted";
    job.make = [&](const std::string& input, const std::string& target) -> std::optional<std::string> {
        controls.set_text(TextBox::tx_ss_file, input);
        if (load_data_file(controls, state) == LoadOutcome::stopped) {
            return std::nullopt;
        }
        plot.set_columns(state.listed_names(), columns);
        for (const std::string& missing : plot.missing_columns()) {
            report(console, input, "no column named \"" + missing + "\"; the plot leaves it out");
        }
        if (plot.shown_columns().empty()) {
            throw Error(ErrorKind::missing_column, std::string(nothing_to_plot));
        }
        const QByteArray bytes = render_plot(plot, plot_format_for(target));
        OutputFile file(target, [&controls] { return controls.process_events(); });
        file.write(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        file.commit();
        return counted(state.g_table.filled_rows(), "row") + ", " +
               counted(plot.profile_lines(), "profile line");
    };
    return run_batch(job, inputs, output, console);
}

} // namespace quillonde::cli
