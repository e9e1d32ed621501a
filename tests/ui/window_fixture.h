#pragma once

#include "temp_dir.h"
#include "ui/file_dialog.h"
#include "ui/form1.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillonde::testing {

inline const QString casts = QStringLiteral(QUILLONDE_TEST_DATA "/casts/");

/// A shown window whose dialogs answer what the test presets and remember what they were asked.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        window.file_dialog().set_runner([this](const FileDialog::Request& request) {
            requests.push_back(request);
            return answer;
        });
        window.set_error_presenter([this](const QString& message) { errors.push_back(message); });
        // Unless the test expects questions, one is answered No and counts as an error, rather than
        // waiting for a user.
        window.set_question_presenter([this](const QString& question) {
            (expect_questions ? questions : errors).push_back(question);
            return expect_questions && yes;
        });
        // A question of several answers is answered with `choice`, Cancel where it is unexpected.
        window.set_choice_presenter([this](const QString& question, const QStringList& answers) {
            (expect_questions ? questions : errors).push_back(question);
            choices.push_back(answers);
            return expect_questions ? choice : static_cast<std::size_t>(answers.size()) - 1;
        });
    }

    template <typename Widget = QWidget> Widget* control(const char* name)
    {
        auto* widget = window.findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QLineEdit* box(const char* name) { return control<QLineEdit>(name); }
    QString box_text(const char* name) { return box(name)->text(); }
    QString caption(const char* name) { return control<QLabel>(name)->text(); }
    QListWidget* list() { return control<QListWidget>("List1"); }
    void click(const char* name) { QTest::mouseClick(control<QPushButton>(name), Qt::LeftButton); }
    void load(const QString& path)
    {
        answer = path;
        click("Command2");
    }
    void load(const std::string& path) { load(QString::fromStdString(path)); }

    Form1 window;
    TempDir dir;
    QString answer; // what every file dialog answers
    std::vector<FileDialog::Request> requests;
    std::vector<QString> errors;
    bool expect_questions = false;
    bool yes = false; // the answer to every expected question
    std::vector<QString> questions;
    std::size_t choice = 0;           // the answer to every expected question of several answers
    std::vector<QStringList> choices; // the answers each of them offered
};

} // namespace quillonde::testing
