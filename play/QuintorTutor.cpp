#include "play/QuintorTutor.h"

#include "core/GeneralStuff.h"

namespace quintor {

std::string TutorThresholdText(double threshold) {
    return threshold < 0.1 ? Format("%.2f", threshold) : Format("%.1f", threshold);
}

double TutorThresholdFromText(const std::string& text) {
    for (double t : TutorThresholds)
        if (text == TutorThresholdText(t)) return t;
    return DefaultTutorThreshold;
}

bool TutorQuestions(const ChoiceAssessment& a, double threshold) {
    return a.options > 1 && !a.identical && a.loss >= threshold;
}

std::string ChoiceText(const Event& e) {
    switch (e.aspect) {
    case Keeping: {
        std::string dice = ValueBagToString(ValueBagTbl[CheckValueBagRank(e.arg)].bag, false);
        dice.erase(dice.find('_') == std::string::npos ? dice.size() : dice.find('_'));
        return "keeping " + (dice.empty() ? std::string("nothing") : dice);
    }
    case Scoring:
        return "scoring " + std::to_string(e.arg) + " in " + ScoreItemName(CheckCategory(e.category));
    case Rolling: break;
    }
    throw RangeError("ChoiceText: a roll is no choice");
}

std::string TutorQuestion(const ChoiceAssessment& a) {
    std::string mine = ChoiceText(a.mine.event);
    mine[0] = char(mine[0] - 'a' + 'A');
    return mine + Format(" loses %.2f points against ", a.loss) + ChoiceText(a.best.event) +
           Format(" (%.2f). Play it anyway?", a.best.expected);
}

ChoiceAssessment SessionAssess(const GameSession& s, QuintorStrategyState* strategy,
                               const Event& e) {
    if (s.phase == gpGameOver || s.turnState.phase != ToChoose)
        throw RangeError("SessionAssess: the dice are not rolled");
    if (e.aspect == Keeping && s.turnState.rollsLeft == 0)
        throw RangeError("SessionAssess: no roll is left to keep dice for");
    if (e.aspect == Rolling) throw RangeError("SessionAssess: a roll is no choice");
    return AssessChoice(strategy, s.gameState, SessionTotal(s), s.turnState, e);
}

void SessionTutorAnswer(GameSession& s, const Event& e, bool played) {
    TutorNote& note = s.pendingNote;
    if (played) {
        note.questioned = true;
    } else if (!note.changedMind) {
        note.changedMind = true;
        note.withdrawn = e;
    }
}

}  // namespace quintor
