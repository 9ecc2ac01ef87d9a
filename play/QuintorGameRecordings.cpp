#include "play/QuintorGameRecordings.h"

#include "core/GeneralStuff.h"

namespace quintor {

namespace {

constexpr const char* DetailsRule = "-- ----------------- --- -------  -----";
constexpr const char* AnalysisRule = "  ------ --  -----  ------ --  -----";

enum DeltaClass { dcTie, dcSmall, dcMedium, dcLarge };
constexpr std::array<const char*, NDeltaClasses> ClassMarker = {"<>", "*", "**", "***"};

DeltaClass ClassOf(double delta) {
    if (delta < 0.01) return dcTie;
    if (delta < 1.0) return dcSmall;
    if (delta < 5.0) return dcMedium;
    return dcLarge;
}

std::string SdText(double sd, const char* pattern, const char* unknown) {
    return sd >= 0.0 ? Format(pattern, sd) : std::string(unknown);
}

}  // namespace

int DeltaClassOf(double delta) { return ClassOf(delta); }

const char* DeltaClassMarker(int deltaClass) {
    return ClassMarker.at(std::size_t(CheckRange(deltaClass, 0, NDeltaClasses - 1, "delta class")));
}

void InitGameRecording(GameRecording& rec) { rec.len = 0; }

void ExtendGameRecording(GameRecording& rec, const GameState& gs, int total, const Event& e,
                         const TurnState& ts) {
    Check(rec.len < MaxGameRecordingIndex, "ExtendGameRecording", "GR.len < MaxGameRecordingIndex");
    Check(ts.phase == ToChoose, "ExtendGameRecording", "t.phase = ToChoose");
    GameRecordingEntry& entry = rec.entry[static_cast<std::size_t>(rec.len)];
    entry.gameState = gs;
    entry.total = static_cast<Points>(CheckRange(total, 0, MaxPoints, "ExtendGameRecording: total"));
    entry.turnState = ts;
    entry.event = e;
    entry.tutor = TutorNote{};
    ++rec.len;
}

ChoiceAssessment AssessChoice(QuintorStrategyState* strategy, const GameState& gs, int total,
                              const TurnState& ts, const Event& e) {
    EList list;
    ListChoiceOptions(list, strategy, gs, total, ts);
    SortEList(list);
    ChoiceAssessment a;
    a.options = list.len;
    a.mine = list.entry[static_cast<std::size_t>(FindEvent(list, e))];
    a.best = list.entry[0];
    a.identical = EqualEvents(e, a.best.event);
    // An option that ties with the best loses nothing; its last bits may even put it a hair
    // above.
    a.loss = TiesWithBest(a.mine.expected, a.best.expected) ? 0.0
                                                             : a.best.expected - a.mine.expected;
    return a;
}

void WriteGameAnalysis(std::vector<std::string>& lines, const GameRecording& rec,
                       const std::string& playerName, const QuintorRulesState* rules,
                       bool analysis, QuintorStrategyState* strategy) {
    Check(!analysis || strategy != nullptr, "WriteGameAnalysis", "strategy<>nil");
    const char* shortName = analysis ? strategy->ShortName.c_str() : "";
    int turn = 0;
    GameState previous;   // empty free set: the first entry always starts a turn
    ScoreCard card = ZeroScoreCard;
    int finalScore = 0;
    int choices = 0;
    int identical = 0;
    std::array<int, NDeltaClasses> classCount{};
    double deltaSum = 0.0;

    lines.emplace_back();
    lines.push_back(analysis ? "Game Details and Analysis" : "Game Details");
    lines.push_back(analysis ? "==== ======= === ========" : "==== =======");
    lines.emplace_back();
    std::string header = Format(" # Game State        Tot Roll     %*s", 5, playerName.c_str());
    if (analysis) header += Format("  Expect SD  %*s  Expect SD  Delta", 5, shortName);
    lines.push_back(header);
    const std::string rule = std::string(DetailsRule) + (analysis ? AnalysisRule : "");
    lines.push_back(rule);

    for (int i = 0; i < rec.len; ++i) {
        const GameRecordingEntry& entry = rec.entry[static_cast<std::size_t>(i)];
        const GameState& gs = entry.gameState;
        const TurnState& ts = entry.turnState;
        Event e = entry.event;
        std::string line;
        if (!EqualGameStates(gs, previous)) {
            ++turn;
            line = Format("%2d %s%4d ", turn, GameStateToString(gs).c_str(), int(entry.total));
        } else {
            line = Format("%*s%*s", 17, ";", 8, "");
        }
        line += TurnStateToString(ts, false, false) + "  ";
        if (e.aspect == Scoring) {
            GameState next;
            ScoreCard delta;
            ApplyScoringEvent(rules, gs, ts, next, delta, e);
            AddScoreCards(card, delta);
            finalScore += delta[GrandTotal];
        }
        line += EventToString(e, false, false) + " ";
        if (analysis) {
            const ChoiceAssessment a = AssessChoice(strategy, gs, entry.total, ts, e);
            line += Format("%*.*f ", 7, 2, a.mine.expected);
            line += SdText(a.mine.sd, "%2.0f  ", " ?  ");
            if (a.options > 1) {
                ++choices;
                if (a.identical) {
                    ++identical;
                } else {
                    line += EventToString(a.best.event, false, false) + " ";
                    line += Format("%*.*f ", 7, 2, a.best.expected);
                    line += SdText(a.best.sd, "%2.0f", " ?");
                    line += Format("%*.*f ", 7, 2, a.loss);
                    deltaSum += a.loss;
                    const DeltaClass c = ClassOf(a.loss);
                    line += ClassMarker[c];
                    ++classCount[c];
                }
            }
        }
        lines.push_back(std::move(line));
        previous = gs;
    }

    lines.push_back(rule);
    std::string totals = Format("                                  %5d", finalScore);
    if (analysis) totals += Format("                             %*.*f", 7, 2, deltaSum);
    lines.push_back(totals);

    if (analysis && choices > 0) {
        lines.emplace_back();
        lines.push_back(Format("  # Choices (one option = no choice)  :%4d total", choices));
        lines.push_back(Format("  # Choices identical to %*s        :%4d", 5, shortName, identical));
        lines.push_back(Format("  # Choices with %*s    delta < %*.*f :%4d %s", 4, "", 4, 2, 0.01,
                               classCount[dcTie], ClassMarker[dcTie]));
        lines.push_back(Format("  # Choices with %*.*f <= delta < %*.*f :%4d %s", 4, 2, 0.01, 4, 2,
                               1.0, classCount[dcSmall], ClassMarker[dcSmall]));
        lines.push_back(Format("  # Choices with %*.*f <= delta < %*.*f :%4d %s", 4, 2, 1.0, 4, 2,
                               5.0, classCount[dcMedium], ClassMarker[dcMedium]));
        lines.push_back(Format("  # Choices with %*.*f <= delta   %*s :%4d %s", 4, 2, 5.0, 4, "",
                               classCount[dcLarge], ClassMarker[dcLarge]));
        lines.push_back(Format("  Mean delta per choice               :%*.*f", 8, 3,
                               deltaSum / choices));
    }
    PrintScoreCard(lines, card);
}

}  // namespace quintor
