// An advisor window: the user types an abstract state and Analyze lists every option of that
// situation, best first, with its optimal expected final score.
#pragma once

#include <functional>
#include <string>

#include <QWidget>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class TAdvisorForm : public QWidget {
    Q_OBJECT
public:
    // currentState gives the abstract state of the running game (for Update).
    explicit TAdvisorForm(std::function<std::string()> currentState, QWidget* parent = nullptr);

    void Init(const std::string& text);   // sets the state text; does not analyse
    void Analyze();
    void AnalyzeButtonClick() { Analyze(); }
    void UpdateButtonClick();

private:
    void FormCreate();

    std::function<std::string()> CurrentState;
    QPushButton* AnalyzeButton = nullptr;
    QLineEdit* StateEdit = nullptr;
    QPushButton* UpdateButton = nullptr;
    QPlainTextEdit* txtAdvice = nullptr;
};
