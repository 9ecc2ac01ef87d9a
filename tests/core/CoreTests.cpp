#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

#include "core/DiceStuff.h"
#include "core/GeneralStuff.h"
#include "core/MathStuff.h"

namespace quintor {
namespace {

namespace fs = std::filesystem;

template <class E, class F>   // the text of the E that f throws
std::string Thrown(F f) { try { f(); } catch (const E& e) { return e.what(); } return "nothing thrown"; }
std::string Text(const fs::path& p) { std::ostringstream s; s << std::ifstream(p).rdbuf(); return s.str(); }
ValueList List(std::string_view d) { ValueList l; for (char c : d) ExtendValueList(l, c - '0', 1); return l; }
ValueBag Bag(std::string_view d) { ValueBag b; for (char c : d) AddToBag(b, c - '0', 1); return b; }
std::string ListText(int rank) { return ValueListToString(ValueListTbl[rank].list, false); }
std::string BagText(int rank) { return ValueBagToString(ValueBagTbl[rank].bag, false); }

TEST(MathStuff, AgainstNaiveProductsAndPascal) {
    InitMathStuff();
    const auto value = [](auto f) -> long long {   // -1 for an overflow
        try { return f(); } catch (const OverflowError&) { return -1; }
    };
    long long fact = 1, pascal[MaxSmallNat + 1][MaxSmallNat + 1] = {};
    for (int n = 0; n <= MaxSmallNat; fact *= ++n) {
        EXPECT_EQ(value([n] { return factorial(n); }), fact > INT_MAX ? -1 : fact) << n << "!";
        long long p = 1;   // n^k; 15^15 would overflow even 64 bits unless caught in time
        for (int k = 0; k <= MaxSmallNat; ++k, p *= n) {
            EXPECT_EQ(value([n, k] { return power(n, k); }), p > INT_MAX ? -1 : p) << n << "^" << k;
            pascal[n][k] = k == 0 ? 1 : n == 0 ? 0 : pascal[n - 1][k - 1] + pascal[n - 1][k];
            EXPECT_EQ(choose(n, k), pascal[n][k]) << n << " choose " << k;
        }
    }
    EXPECT_THROW(factorial(13), OverflowError);   // the failed ones left no bad memo behind
}

class DiceTables : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitMathStuff(), InitDiceStuff(); }
};

TEST_F(DiceTables, RanksOrdersAndProbabilities) {
    for (int s = 0, l = 0, b = 0; s <= NDice; l += power(6, s), b += choose(5 + s, s), ++s) {
        const ValueListRange& lr = ValueListRanks[s];
        const ValueBagRange& br = ValueBagRanks[s];
        const int nl = power(6, s), nb = choose(5 + s, s);
        EXPECT_EQ((std::vector<int>{lr.first, lr.last, lr.count, br.firstvbr, br.lastvbr, br.count}),
                  (std::vector{l, l + nl - 1, nl, b, b + nb - 1, nb}));
    }
    // Within a size, lists run up and bags down the order of their digit strings: that fixes all ranks.
    std::vector<int> rolls(NValueBag5Ranks);
    for (int r = 0; r <= MaxValueListRank; ++r) {
        const ValueListEntry& e = ValueListTbl[r];
        ValueBag b;
        ValueBagFromValueList(b, e.list);
        ASSERT_TRUE(RankFromValueList(e.list) == r && e.siz == e.list.siz && e.vbr == RankFromValueBag(b)) << r;
        ASSERT_TRUE(r == 0 || ValueListTbl[r - 1].siz != e.siz || ListText(r - 1) < ListText(r)) << r;
        ++rolls[e.vbr];
    }
    for (int r = 0; r < NValueBag5Ranks; ++r) {   // each bag as often as the ordered rolls show it
        const ValueBagEntry& e = ValueBagTbl[r];
        const std::string asc = ListText(e.vlr);   // the bag's values in ascending order
        ASSERT_TRUE(RankFromValueBag(e.bag) == r && e.siz == e.bag.size() && ValueListTbl[e.vlr].vbr == r &&
                    std::is_sorted(asc.begin(), asc.end())) << r;
        ASSERT_TRUE(r == 0 || ValueBagTbl[r - 1].siz != e.siz || BagText(r - 1) > BagText(r)) << r;
        EXPECT_DOUBLE_EQ(e.prob, rolls[r] / double(power(NValues, e.siz))) << r;
    }
}

TEST_F(DiceTables, SubBagsAndCompletions) {
    const char* order[] = {"_____", "3____", "2____", "23___", "22___", "223__", "1____", "13___", "12___",
                           "123__", "122__", "1223_", "11___", "113__", "112__", "1123_", "1122_", "11223"};
    const IndexRange r = SubBagRanges[RankFromValueBag(Bag("11223")) - NValueBag4Ranks];
    ASSERT_EQ(r.last - r.first + 1, 18);
    for (int i = 0; i < 18; ++i) EXPECT_EQ(BagText(SubBagTbl[r.first + i]), order[i]);
    // The ranges follow each other; each holds every sub-bag once, the empty one first, the bag last.
    int next = 0;
    for (int b = NValueBag4Ranks; b < NValueBag5Ranks; ++b) {
        const IndexRange range = SubBagRanges[b - NValueBag4Ranks];
        int count = 1;
        for (int v = 1; v <= 6; ++v) count *= ValueBagTbl[b].bag.count(v) + 1;
        ASSERT_TRUE(range.first == next && range.last - range.first + 1 == count &&
                    SubBagTbl[range.first] == 0 && SubBagTbl[range.last] == b) << b;
        std::vector<bool> seen(NValueBag5Ranks);
        for (int i = range.first; i <= range.last; seen[SubBagTbl[i++]] = true)
            ASSERT_TRUE(IsSubBag(ValueBagTbl[SubBagTbl[i]].bag, ValueBagTbl[b].bag) && !seen[SubBagTbl[i]]);
        next = range.last + 1;
    }
    EXPECT_EQ(next, NSubBags);
    // Completions, in the order of the added bags, against every roll of the dice not kept.
    next = 0;
    for (int b = 0; b < NValueBag5Ranks; ++b) {
        const int n = NDice - ValueBagTbl[b].siz;
        std::vector<double> want(NValueBag5Ranks);
        ValueBag added, sum;
        for (int r5 = ValueListRanks[n].first; r5 <= ValueListRanks[n].last; ++r5) {
            ValueBagFromValueList(added, ValueListTbl[r5].list);
            SumBags(sum, ValueBagTbl[b].bag, added);
            want[RankFromValueBag(sum)] += 1.0 / power(NValues, n);
        }
        const IndexRange range = CompletionRanges[b];
        ASSERT_TRUE(range.first == next && range.last - range.first + 1 == ValueBagRanks[n].count) << b;
        for (int i = range.first; i <= range.last; ++i) {
            SumBags(sum, ValueBagTbl[b].bag, ValueBagTbl[ValueBagRanks[n].firstvbr + i - range.first].bag);
            ASSERT_EQ(CompletionTbl[i].vbr, RankFromValueBag(sum)) << b;
            EXPECT_NEAR(CompletionTbl[i].prob, want[CompletionTbl[i].vbr], 1e-12) << b;
        }
        next = range.last + 1;
    }
    EXPECT_EQ(next, NCompletions);
}

TEST_F(DiceTables, BadValuesAreRejectedWhereTheyEnter) {
    ValueList l = List("1234"), bad;
    EXPECT_EQ(Thrown<CheckFailure>([&] { ExtendValueList(l, 5, 2); }),
              "ExtendValueList: siz+cnt <= NDice FAILED");
    ValueBag b = Bag("3333"), six, other = Bag("4");
    six.cnt = {1, 1, 1, 1, 1, 1};
    bad.siz = 2, bad.val = {3, 9};
    const std::function<void()> rejected[] = {
        [&] { ExtendValueList(l, 7, 1); }, [&] { AddToBag(b, 7, 1); }, [&] { AddToBag(b, 2, 2); },
        [&] { AddToBag(b, 3, -5); }, [&] { SumBags(b, Bag("123"), Bag("456")); }, [&] { b.count(0); },
        [&] { RankFromValueBag(six); }, [&] { RankFromValueList(bad); },
        [&] { bad.siz = 6, RankFromValueList(bad); }, [] { FirstValueList(6); },
        [] { CheckValueListRank(9331); }, [] { CheckFiveDiceBagRank(209); },
        [&] { NextSubBag(other, Bag("11223")); }, [] { RepeatStr("x", -1); }, [] { DigitChar(10); },
        [] { factorial(16); }, [] { power(2, 16); }, [] { choose(3, -1); }};
    for (const auto& f : rejected) EXPECT_THROW(f(), RangeError);
    EXPECT_EQ(l.siz, 4);   // the failed calls changed nothing
    EXPECT_EQ(ValueBagToString(b, false), "3333_");
}

TEST(Texts, ExactForms) {
    const std::string big(5000, 'q');
    std::ostringstream out;
    WriteValueList(out, "rolling ", List("314")), WriteValueBag(out, "keeping ", Bag("131"));
    WriteValueBag(out, "", EmptyValueBag);
    const std::pair<std::string, std::string> cases[] = {
        {Thrown<CheckFailure>([] { Fail("InitValueSubBags", "i=4368"); }), "InitValueSubBags: i=4368 FAILED"},
        {Thrown<CheckFailure>([] { Check(false, "Grow", "len < Max"); }), "Grow: len < Max FAILED"},
        {Thrown<RangeError>([] { CheckRange(-3, 0, 5, "count"); }), "count = -3 is outside 0..5"},
        {IntToStrW(7, 3), "  7"}, {IntToStrW(-12, 2), "-12"}, {IntToStrW(5, -4), "5"}, {RepeatStr("x", 0), ""},
        {IntToStrW(LLONG_MIN, 0), "-9223372036854775808"}, {RepeatStr("ab", 3), "ababab"},
        {{UpCase('a'), UpCase('z'), UpCase('{'), DigitChar(9)}, "AZ{9"}, {TrimStr("\ta\r\n"), "a"},
        {FixedStr(2.345678, 2), "2.35"}, {GeneralStr(1.0 / 3.0), "0.333333333333333"},
        {Format("%5.2f|%*d", 3.14159, 3, 42), " 3.14| 42"}, {Format("<%s>", big.c_str()), "<" + big + ">"},
        {FileNameOf(ExecutablePath()), "core_tests"}, {LogPathFor("/o/T.exe"), "/o/T.log"},
        {LogPathFor("/o/T"), "/o/T.log"}, {LogPathFor("/o/a.b.c"), "/o/a.b.log"},
        {LogPathFor("/o.d/p"), "/o.d/p.log"}, {LogPathFor("/p"), "/p.log"}, {LogPathFor("p"), "./p.log"},
        {ValueBagToString(Bag("311"), true), "1 1 3 _ _ "}, {ValueListToString(List("314"), true), "3 1 4 "},
        {KeptDiceText(Bag("13"), List("314")), "3 1 _ "}, {KeptDiceText(Bag("11"), List("1211")), "1 _ 1 _ "},
        {out.str(), "rolling  3 1 4\nkeeping [1] 2, ___ _, [3] 1, ___ _, ___ _, ___ _\n"
                    "___ _, ___ _, ___ _, ___ _, ___ _, ___ _\n"}};
    for (const auto& [got, want] : cases) EXPECT_EQ(got, want);
}

struct FileSizeLimit {   // writes beyond the limit fail with EFBIG; the signal is ignored
    rlimit saved{};
    void (*handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit lim{bytes, saved.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &saved), std::signal(SIGXFSZ, handler); }
};

TEST(Files, RunLogAtomicWritesAndFallbacks) {
    // A fresh folder that is also the home folder, so that the user folders are the defaults below it.
    const fs::path dir = fs::temp_directory_path() / ("quintor-core-" + std::to_string(::getpid()));
    struct Cleanup { fs::path p; ~Cleanup() { std::error_code ec; fs::remove_all(p, ec); } } cleanup{dir};
    fs::remove_all(dir), fs::create_directories(dir), ::setenv("HOME", dir.c_str(), 1);
    ::unsetenv("XDG_STATE_HOME"), ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    EXPECT_EQ(UserFolder("config"), (dir / ".config/QuintorTrainer").string());
    EXPECT_NO_THROW(LogFile() << "not open yet: swallowed" << std::endl);
    const std::string log = dir / "Trainer.log", fallback = dir / ".local/state/QuintorTrainer/prog.log";
    const std::string started = "Run Started on [^\n]+\n", stopped = "Run Stopped on [^\n]+\n";
    std::ofstream(log) << "an older run\nwith more lines\nthan this one\n";
    InitGeneralStuff(dir / "Trainer.exe");
    EXPECT_TRUE(std::regex_match(Text(log), std::regex(started))) << Text(log);   // written at once
    LogFile() << "middle line\n";
    DoneGeneralStuff();
    DoneGeneralStuff();
    EXPECT_TRUE(std::regex_match(Text(log), std::regex(started + "middle line\n" + stopped))) << Text(log);
    // A missing or unwritable program folder, or an installation's bin folder (writable for
    // root): the log goes to the user's state folder.
    fs::create_directory(dir / "ro");
    fs::permissions(dir / "ro", fs::perms(0555));
    fs::create_directories(dir / "inst/bin"), fs::create_directories(dir / "inst/share/man/man6");
    std::ofstream(dir / "inst/share/man/man6/quintor.6.gz") << "page";
    EXPECT_TRUE(KeepsFilesBeside(dir / "inst"));
    EXPECT_FALSE(KeepsFilesBeside(dir / "inst/bin"));
    for (const char* exe : {"no-such-folder/prog", "ro/prog.bin", "inst/bin/prog"}) {
        if (exe[0] == 'r' && ::geteuid() == 0) continue;   // permissions do not bind the superuser
        InitGeneralStuff(dir / exe);
        EXPECT_EQ(LogFilePath(), fallback) << exe;
        DoneGeneralStuff();
        EXPECT_TRUE(std::regex_match(Text(fallback), std::regex(started + stopped))) << exe;
    }
    const std::string out = dir / "out", target = out + "/report.txt", missing = dir / "missing/r.txt";
    fs::create_directory(out);
    WriteTextFileAtomically(target, "first\n");
    fs::permissions(target, fs::perms(0640));
    WriteTextFileAtomically(target, "kept\n");
    EXPECT_EQ(Text(target), "kept\n");
    EXPECT_EQ(fs::status(target).permissions(), fs::perms(0640));
    EXPECT_EQ(Thrown<IOError>([&] { WriteTextFileAtomically(missing, "x"); }),
              "Cannot write file '" + missing + "': No such file or directory");
    EXPECT_EQ(Thrown<IOError>([&] { WriteTextFileAtomically(out, "x"); }),
              "Cannot write file '" + out + "': it is a directory");
    InitGeneralStuff(dir / "full");
    {   // writes failing halfway: the old file stays whole with no temporary file beside it, and
        // the log reports the failure and is closed all the same
        FileSizeLimit limit(4096);
        EXPECT_EQ(Thrown<IOError>([&] { WriteTextFileAtomically(target, std::string(100000, 'z')); }),
                  "Cannot write file '" + target + "': File too large");
        EXPECT_EQ(Thrown<IOError>([] { LogFile() << std::string(20000, 'x') << std::flush; }),
                  "Cannot write the run log '" + (dir / "full.log").string() + "': File too large");
        EXPECT_THROW(DoneGeneralStuff(), IOError);
    }
    EXPECT_EQ(LogFilePath(), "");
    EXPECT_EQ(Text(target), "kept\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1);
}

std::istringstream consoleIn;
std::ostringstream consoleOut;
void Feed(const std::string& text) {
    consoleIn.str(text), consoleIn.clear(), consoleOut.str(""), SetConsole(&consoleIn, &consoleOut);
}

TEST(ConsoleReader, SeparatorsLineEndsAndInvalidInput) {
    // Input, the list read or the message, the character left next. Each case replaces the input,
    // which must drop the look-ahead the case before left.
    const char* cases[][3] = {
        {" 3, 1_4\t1 6;rest", "31416", "r"}, {"2 5\n6 6", "25", "\n"}, {"5\r\n", "5", "\r"}, {"6:", "6", ""},
        {";", "", ""}, {"66", "66", ""}, {"12345678;", "Too many dice values", "7"},
        {"1 7;", "Dice value 1..6 expected, not '7'", ";"}, {"0", "Dice value 1..6 expected, not '0'", ""},
        {"3\x01", "Dice value 1..6 expected, not character code 1", ""}};
    ValueList list;
    for (const auto& [text, want, rest] : cases) {
        Feed(text);
        std::string error;
        const bool ok = std::string(want).find_first_not_of("123456") == std::string::npos;
        EXPECT_EQ(ReadValueList("", list, &error), ok) << text;
        EXPECT_EQ(ValueListToString(list, false) + error, want) << text;   // a rejected list is empty
        EXPECT_EQ(AtInputEnd() ? "" : std::string(1, PeekChar()), rest) << text;
    }
    EXPECT_THROW(ReadValueList("", list), EndOfInput);
    Feed("9;");   // the prompt, and without an error string the message, go to the console
    EXPECT_FALSE(ReadValueList("> ", list));
    EXPECT_EQ(consoleOut.str(), "> Dice value 1..6 expected, not '9'\n");
    Feed("S\nretry\nlast");
    char c = 0;
    ReadNonBlank(c), ReadNonBlank(c);   // 'S', then the line end itself: that line is finished
    SkipRestOfLine();
    EXPECT_EQ(PeekChar(), 'r');
    ConsumeChar(), SkipRestOfLine();   // otherwise the rest of the line goes, its line end included
    EXPECT_EQ(PeekChar(), 'l');
    SkipRestOfLine();
    EXPECT_TRUE(AtInputEnd() && AtListEnd());
    EXPECT_THROW(ReadNonBlank(c), EndOfInput);
    // A failing stream is a read error, not a quiet end.
    struct Broken : std::streambuf { int underflow() override { throw std::runtime_error("gone"); } } broken;
    std::istream bad(&broken);
    SetConsole(&bad, nullptr);
    EXPECT_EQ(Thrown<IOError>([] { PeekChar(); }), "Cannot read the console input");
    SetConsole(&consoleIn, nullptr);
}

}  // namespace
}  // namespace quintor
