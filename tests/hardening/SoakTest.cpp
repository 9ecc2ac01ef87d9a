// Many whole games through the controller logic with random choices and random dice sources,
// with no window: no internal check fails, every recording stays within its bounds, the running
// totals agree with the score card and the recording, and every game's report is written.
#include <cmath>
#include <random>

#include "HardeningSupport.h"
#include "engine/QuintorStrategies.h"
#include "play/PseudoRandomGenerator.h"
#include "play/QuintorGameSession.h"
#include "play/QuintorLuckAndSkill.h"

using namespace quintor;
using namespace quintor::hardening;

namespace {

// The first condition that fails, or "" when all hold.
#define SOAK_CHECK(cond) \
    if (!(cond)) return #cond

std::string CheckPosition(const GameSession& s) {
    const ScoreCard& card = s.scoreCard;
    int rows = 0, upper = 0;
    for (int r = 0; r <= ExtraQuintorBonusItem; ++r) rows += card[r];
    for (int r = Aces; r <= Sixes; ++r) upper += card[r];
    SOAK_CHECK(card[GrandTotal] == rows && SessionTotal(s) == rows);
    SOAK_CHECK(s.gameState.need == std::max(0, BonusThreshold - upper));
    SOAK_CHECK(s.gameState.chip == (!InSet(s.gameState.free, QuintorCat) && card[QuintorCat] == 50));
    SOAK_CHECK(s.gameState.free != 0 ||
               card[UpperSectionBonusItem] == (upper >= BonusThreshold ? 35 : 0));

    const GameRecording& rec = s.recording;
    SOAK_CHECK(rec.len >= 0 && rec.len <= 3 * NTurnsPerGame);
    int scored = 0, scorings = 0;
    for (int i = 0; i < rec.len; ++i) {
        const GameRecordingEntry& e = rec.entry[std::size_t(i)];
        SOAK_CHECK(e.turnState.phase == ToChoose && e.turnState.rollsLeft < NRollsPerTurn);
        SOAK_CHECK(e.turnState.dice >= NValueBag4Ranks && e.turnState.dice < NValueBag5Ranks);
        SOAK_CHECK(e.total <= MaxPoints && e.total == scored);
        SOAK_CHECK(e.gameState.need <= MaxBonusThreshold);
        if (e.event.aspect == Keeping) {
            SOAK_CHECK(e.turnState.rollsLeft > 0);
            SOAK_CHECK(IsSubBag(ValueBagTbl[e.event.arg].bag, ValueBagTbl[e.turnState.dice].bag));
        } else {
            SOAK_CHECK(e.event.aspect == Scoring && InSet(e.gameState.free, e.event.category));
            scored += e.event.arg;
            ++scorings;
        }
    }
    SOAK_CHECK(scored == SessionTotal(s));
    SOAK_CHECK(scorings + CategorySetSize(s.gameState.free) == NCategories);
    if (s.turnState.phase == ToChoose) {
        ValueBag shown;
        ValueBagFromValueList(shown, s.shownDice);
        SOAK_CHECK(s.shownDice.siz == NDice && RankFromValueBag(shown) == s.turnState.dice);
    }
    return "";
}

std::string CheckReport(const GameSession& s, bool analysis) {
    std::vector<std::string> lines;
    WriteGameAnalysis(lines, s.recording, "You", OfficialRules, analysis, OptimalStrategy);
    const std::size_t rule = 6 + std::size_t(s.recording.len);
    SOAK_CHECK(lines.size() > rule + 1);
    SOAK_CHECK(lines[1] == (analysis ? "Game Details and Analysis" : "Game Details"));
    SOAK_CHECK(lines[rule] == lines[5]);
    SOAK_CHECK(lines[rule + 1].substr(0, 39) == Format("%34s%5d", "", SessionTotal(s)));
    // The score card printout at the end: its grand total is the game's.
    const auto total = std::find(lines.begin(), lines.end(), "----- -------------------");
    SOAK_CHECK(total != lines.end() && total + 1 != lines.end());
    SOAK_CHECK(total[1] == Format("%5d %s", SessionTotal(s), "GRAND TOTAL"));
    return "";
}

// The split adds up (to the final score, or to V after the last choice of an aborted game), every
// loss is the report's non-negative delta, and the demon never brings good luck nor the angel bad.
std::string CheckLuckAndSkill(const GameSession& s, DiceDevilKind kind, bool finished) {
    const LuckAndSkill a = AnalyseLuckAndSkill(s.recording, OptimalStrategy);
    SOAK_CHECK(a.choices.size() == std::size_t(s.recording.len));
    SOAK_CHECK(a.finished == finished && a.finalScore == SessionTotal(s));
    SOAK_CHECK(std::fabs(a.start + a.luck - a.loss - a.end) <= 1e-9);
    SOAK_CHECK(!finished || std::fabs(a.start + a.luck - a.loss - a.finalScore) <= 1e-9);
    double before = a.start;
    for (const ChoiceAnalysis& c : a.choices) {
        SOAK_CHECK(c.loss >= 0.0 && c.before == before);
        SOAK_CHECK(kind != dkDemon || c.luck <= 1e-9);
        SOAK_CHECK(kind != dkAngel || c.luck >= -1e-9);
        before = c.chosen;
    }
    return "";
}

}  // namespace

TEST(Soak, RandomGamesFromEverySourceStayConsistentAndAllGetTheirReport) {
    TempFolder tables;   // the complete expected-score table, in place of any a test loaded
    CreateOptimalTable(tables.path, 2);
    OptimalStrategy->ExpectedCache = OptimalStrategy->Cache;
    const char* count = std::getenv("QUINTOR_SOAK_GAMES");   // 10,000 take about 2.5 seconds
    const int games = count && *count ? std::atoi(count) : 10000;
    // The everyday sources often, the demon and the angel one game in twenty each.
    const DiceDevilKind sources[] = {dkPerDice, dkPerDice, dkPerList, dkPerBag, dkSpecial,
                                     dkStuckAt, dkPerDice, dkPerList, dkPerBag, dkDemon,
                                     dkPerDice, dkPerList, dkPerBag, dkSpecial, dkStuckAt,
                                     dkPerDice, dkPerList, dkPerBag, dkAngel,  dkPerDice};
    int finished = 0, aborted = 0, extremes = 0;
    for (int game = 0; game < games; ++game) {
        std::mt19937 rng{static_cast<std::uint32_t>(game)};
        SeedGenerator(std::uint32_t(game) * 2654435761u);
        DiceDevilState* devil = DiceDevil[sources[rng() % std::size(sources)]];
        ResetDiceDevil(devil);
        extremes += devil->Kind == dkDemon || devil->Kind == dkAngel;
        const int abortAt = rng() % 50 == 0 ? int(rng() % 40) : -1;

        GameSession s;
        NewGameSession(s);
        bool cut = false;
        for (int step = 0; s.phase != gpGameOver; ++step) {
            if (step == abortAt) {
                AbortSession(s);
                cut = true;
                break;
            }
            if (s.turnState.phase == ToRoll) {
                ASSERT_EQ(SessionRoll(s, devil).aspect, Rolling);
            } else if (s.turnState.rollsLeft > 0 && rng() % 3 != 0) {
                const IndexRange subs = SubBagRanges[s.turnState.dice - NValueBag4Ranks];
                SessionKeep(s, SubBagTbl[subs.first + rng() % (subs.last - subs.first + 1)]);
            } else {
                std::vector<Category> free;
                for (int c = 0; c < NCategories; ++c)
                    if (InSet(s.gameState.free, c)) free.push_back(Category(c));
                SessionScore(s, free[rng() % free.size()]);
            }
            ASSERT_EQ(CheckPosition(s), "") << "game " << game << ": " << SessionAbstractState(s);
        }
        cut ? ++aborted : ++finished;
        ASSERT_TRUE(cut || s.gameState.free == 0) << "game " << game;
        // The report with the full analysis for one game in a hundred, the details for all.
        ASSERT_EQ(CheckReport(s, game % 100 == 0), "") << "game " << game;
        ASSERT_EQ(CheckLuckAndSkill(s, devil->Kind, !cut), "") << "game " << game;
    }
    std::printf("soak: %d games, %d aborted, %d with demonic or angelic dice\n", games, aborted,
                extremes);
    EXPECT_EQ(finished + aborted, games);
    EXPECT_TRUE(games < 1000 || (aborted > 0 && extremes > 0));
}
