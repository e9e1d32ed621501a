#pragma once

#include "form/export.h"
#include "form/loader.h"

#include "fake_controls.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <string>

namespace quillonde::testing {

/// A window as the handlers see it, the long-lived profile state and a folder for the test's files.
class HandlerTest : public ::testing::Test {
protected:
    /// Loads the cast at `path`, typed into tx_ss_file, by `calls`.
    LoadOutcome load_path(const std::string& path, SystemCalls& calls = real_system_calls())
    {
        controls.texts[TextBox::tx_ss_file] = path;
        return load_data_file(controls, state, calls);
    }
    /// Exports to `path`, typed into tx_out, by `calls`.
    ExportOutcome export_path(const std::string& path, SystemCalls& calls = real_system_calls())
    {
        controls.texts[TextBox::tx_out] = path;
        return export_profile(controls, state, {}, calls);
    }

    TempDir dir;
    FakeControls controls;
    ProfileState state;
};

/// Yes to every question but computing a column: for tests of what an export writes once the user
/// goes on.
class GoingOnTest : public HandlerTest {
protected:
    void SetUp() override
    {
        controls.answer = [](const Question& question) {
            return question.kind != QuestionKind::compute_column;
        };
    }
};

} // namespace quillonde::testing
