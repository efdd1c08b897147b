#include "cli/commands/progress_display.h"

#include <sstream>

#include <gtest/gtest.h>

namespace cli {
namespace {

TEST(ProgressDisplayTest, PlainModeWritesOneLinePerStage) {
    std::ostringstream out;
    {
        ProgressDisplay display(out, false);
        display.Show("Preparing matrices…");
        display.Show("Warming up the GPU…");
        display.Show("Measured 1 of 5 series");
        display.Clear();
    }
    EXPECT_EQ(out.str(), "Preparing matrices…\nWarming up the GPU…\nMeasured 1 of 5 series\n");
}

TEST(ProgressDisplayTest, TerminalModeRewritesOneLineAndLeavesItClean) {
    std::ostringstream out;
    {
        ProgressDisplay display(out, true);
        display.Show("Прогрев видеокарты…");   // 19 columns, 36 bytes
        display.Show("Измерены серии 1 из 5");  // 21 columns: longer, nothing to blank
        display.Show("Done");                   // shorter: blanks over the rest of the old text
    }  // the destructor erases the line
    EXPECT_EQ(out.str(),
              "\rПрогрев видеокарты…"
              "\rИзмерены серии 1 из 5"
              "\rDone" + std::string(17, ' ') + "\rDone"
              "\r    \r");
    EXPECT_EQ(out.str().find('\n'), std::string::npos);
}

TEST(ProgressDisplayTest, ClearWithoutShownTextWritesNothing) {
    std::ostringstream out;
    ProgressDisplay display(out, true);
    display.Clear();
    EXPECT_TRUE(out.str().empty());
    EXPECT_EQ(Utf8Columns("a·…б"), 4u);
}

}  // namespace
}  // namespace cli
