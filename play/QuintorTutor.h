// The tutor: before a keep or a scoring is played it measures the choice against the best option
// of the position, and a loss that reaches the player's threshold is put to the player as a
// question first. The question's text and the notes it leaves in the recording live here; the
// windows only ask.
#pragma once

#include <array>
#include <string>

#include "play/QuintorGameSession.h"

namespace quintor {

// The thresholds the player can choose: the lower bounds of the report's classes "*", "**"
// and "***".
constexpr std::array<double, 3> TutorThresholds = {0.01, 1.0, 5.0};
constexpr double DefaultTutorThreshold = 1.0;
// "0.01", "1.0", "5.0": as the menu and the settings file write them.
std::string TutorThresholdText(double threshold);
// The threshold of such a text; the default for anything else.
double TutorThresholdFromText(const std::string& text);

// True when the choice is a real one (more than one option) and loses threshold or more.
bool TutorQuestions(const ChoiceAssessment& a, double threshold);
// "keeping 66", "keeping nothing", "scoring 12 in Aces".
std::string ChoiceText(const Event& e);
// "Keeping 66 loses 3.42 points against keeping 666 (241.03). Play it anyway?"
std::string TutorQuestion(const ChoiceAssessment& a);

// The choice e (Keeping: arg = the kept bag; Scoring: the category) in the session's position.
// RangeError when it is not a choice there.
ChoiceAssessment SessionAssess(const GameSession& s, QuintorStrategyState* strategy,
                               const Event& e);
// The player answered the tutor's question about e: played (OK) or withdrawn (Cancel). The next
// choice recorded in the session carries the note.
void SessionTutorAnswer(GameSession& s, const Event& e, bool played);

}  // namespace quintor
