#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "core/DiceStuff.h"
#include "core/GeneralStuff.h"
#include "core/MathStuff.h"

namespace quintor {
namespace {

// Feeds the console from a string and collects what it writes.
class Console : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitMathStuff();
        InitDiceStuff();
    }
    void Feed(const std::string& text) {
        in.str(text);
        in.clear();
        out.str("");
        SetConsole(&in, &out);
    }
    void TearDown() override { SetConsole(&std::cin, &std::cout); }
    std::istringstream in;
    std::ostringstream out;
};

TEST_F(Console, LookAheadAndSeparators) {
    Feed(" ,_3;");
    char c = 0;
    ReadNonBlank(c);
    EXPECT_EQ(c, '3');
    EXPECT_TRUE(AtListEnd());
    EXPECT_EQ(PeekChar(), ';');
    SkipListEnd();
    EXPECT_TRUE(AtInputEnd());
    EXPECT_TRUE(AtListEnd());
    EXPECT_THROW(PeekChar(), EndOfInput);
    EXPECT_THROW(ReadNonBlank(c), EndOfInput);
    EXPECT_NO_THROW(SkipListEnd());
    EXPECT_NO_THROW(SkipRestOfLine());

    // Peeking does not consume; replacing the input drops the old look-ahead.
    Feed("ab");
    EXPECT_EQ(PeekChar(), 'a');
    EXPECT_EQ(PeekChar(), 'a');
    std::istringstream other("xy");
    SetConsole(&other, nullptr);
    EXPECT_EQ(PeekChar(), 'x');
    ConsumeChar();
    EXPECT_EQ(PeekChar(), 'y');

    // A line end ends a list and stays for SkipRestOfLine; ':' ends one and is consumed.
    Feed("  \nnext:x");
    EXPECT_TRUE(AtListEnd());
    SkipListEnd();
    EXPECT_EQ(PeekChar(), '\n');
    SkipRestOfLine();
    EXPECT_EQ(PeekChar(), 'n');
    EXPECT_FALSE(AtListEnd());
    SkipRestOfLine();
    EXPECT_TRUE(AtInputEnd());
    Feed("\r\nz");
    EXPECT_TRUE(AtListEnd());
    SkipRestOfLine();
    EXPECT_EQ(PeekChar(), 'z');
}

TEST_F(Console, SkipRestOfLineNeverEatsTheNextLine) {
    // A reader that stopped on a consumed line end has finished that line.
    Feed("S\nretry\n");
    char c = 0;
    ReadNonBlank(c);
    EXPECT_EQ(c, 'S');
    ReadNonBlank(c);
    EXPECT_EQ(c, '\n');
    SkipRestOfLine();
    ReadNonBlank(c);
    EXPECT_EQ(c, 'r');
    SkipRestOfLine();
    EXPECT_TRUE(AtInputEnd());
    // Otherwise the rest of the line goes, its line end included.
    Feed("S\nretry\n");
    ReadNonBlank(c);
    SkipRestOfLine();
    EXPECT_EQ(PeekChar(), 'r');
}

TEST_F(Console, ReadErrorIsAnIOErrorButNoEndOfInput) {
    struct Broken : std::streambuf {
        int underflow() override { throw std::runtime_error("device gone"); }
    } broken;
    std::istream bad(&broken);
    SetConsole(&bad, &out);
    try {
        PeekChar();
        ADD_FAILURE() << "no error";
    } catch (const EndOfInput&) {
        ADD_FAILURE() << "reported as a plain end of input";
    } catch (const IOError&) {
    }
}

TEST_F(Console, ReadValueListAcceptsOnlyValidLists) {
    ValueList list;
    std::string error;
    Feed("3, 1_4 1 6;rest");
    ASSERT_TRUE(ReadValueList("Roll: ", list, &error));
    EXPECT_EQ(out.str(), "Roll: ");
    EXPECT_EQ(ValueListToString(list, false), "31416");
    EXPECT_EQ(PeekChar(), 'r');

    Feed("2 5\n6 6");
    ASSERT_TRUE(ReadValueList("", list, &error));
    EXPECT_EQ(ValueListToString(list, false), "25");
    EXPECT_EQ(PeekChar(), '\n');
    Feed(";");
    ASSERT_TRUE(ReadValueList("", list, &error));
    EXPECT_EQ(list.siz, 0);
    Feed("66");
    ASSERT_TRUE(ReadValueList("", list, &error));   // the end of the input ends the list
    EXPECT_EQ(ValueListToString(list, false), "66");
    EXPECT_THROW(ReadValueList("", list, &error), EndOfInput);

    const std::pair<const char*, const char*> bad[] = {
        {"123456;", "Too many dice values"},
        {"1 2 3 4 5 6", "Too many dice values"},
        {"1 7;", "Dice value 1..6 expected, not '7'"},
        {"0", "Dice value 1..6 expected, not '0'"},
        {"12x4;", "Dice value 1..6 expected, not 'x'"},
        {"3\x01", "Dice value 1..6 expected, not character code 1"},
    };
    for (const auto& [text, message] : bad) {
        Feed(text);
        error.clear();
        EXPECT_FALSE(ReadValueList("", list, &error)) << text;
        EXPECT_EQ(error, message) << text;
        EXPECT_EQ(list.siz, 0) << text;
    }
    // The offending character is consumed, the rest is left.
    Feed("1234567;");
    EXPECT_FALSE(ReadValueList("", list, &error));
    EXPECT_EQ(PeekChar(), '7');
    // Without an error string the message goes to the console.
    Feed("9;");
    EXPECT_FALSE(ReadValueList("> ", list));
    EXPECT_EQ(out.str(), "> Dice value 1..6 expected, not '9'\n");

    ValueBag bag;
    Feed("6 1 6:");
    ASSERT_TRUE(ReadValueBag("", bag, &error));
    EXPECT_EQ(ValueBagToString(bag, false), "166__");
    Feed("6 1 y");
    EXPECT_FALSE(ReadValueBag("", bag, &error));
}

}  // namespace
}  // namespace quintor
