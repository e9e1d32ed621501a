// Faults the fuzzers found; each input is also kept in fuzz/regressions/, where CI replays it.

#include "form/export.h"
#include "form/loader.h"

#include "fake_controls.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <string>

namespace quillonde {
namespace {

using testing::FakeControls;
using testing::read_file;
using testing::TempDir;

// fuzz/regressions/export/same_depth_text: beyond 1E+15 m the 15 digits of a depth's text step by
// more than the thinning's 0.5 m, so two rows far enough apart could be written with one depth.
TEST(Regression, ADepthIsNotWrittenTwiceWhenItsTextCannotTellRowsApart)
{
    const TempDir dir;
    FakeControls controls;
    ProfileState state;
    controls.texts[TextBox::tx_ss_file] = dir.write("cast.TOB", "Lines : 3\n"
                                                                "; Datasets Press Temp Cond SALIN SOUND\n"
                                                                "1 1e15 10 40 35 1490\n"
                                                                "2 1000000000000001 10 40 35 1490\n"
                                                                "3 1000000000000011 10 40 35 1490\n");
    load_data_file(controls, state);
    controls.texts[TextBox::tx_out] = dir.file("profile.sva");
    EXPECT_EQ(export_profile(controls, state).profile_lines, 2);
    EXPECT_EQ(read_file(dir.file("profile.sva")), ".profile  1\r\n\r\n"
                                                  "1.019716E+15\t1490\t10\t35\t40\t\r\n"
                                                  "1.01971600000001E+15\t1490\t10\t35\t40\t\r\n");
}

} // namespace
} // namespace quillonde
