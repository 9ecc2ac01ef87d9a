// Inputs the fuzz targets found that once broke a reader or the advisor, kept as cases.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/GeneralStuff.h"
#include "play/QuintorStateAnalyzer.h"

using namespace quintor;

TEST(ReaderRegressions, AFinishedGameHasNoOptionsInsteadOfFailingACheck) {
    // A free set the reader accepts as empty: the advisor ran the turn computation of a game
    // state without a free category, which is a failed internal check.
    for (const char* text : {";0+ 1575 ;3", ";0- 0 11111;1", ";0- 0 11111;0", "_____________;0- 7 12;2"}) {
        SCOPED_TRACE(text);
        std::vector<std::string> lines;
        EXPECT_TRUE(Advise(lines, text));
        EXPECT_EQ(lines, std::vector<std::string>{"0 options"});
    }
}
