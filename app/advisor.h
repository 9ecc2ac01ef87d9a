// An advisor window: the user types an abstract state and Analyze lists every option of that
// situation, best first, with its optimal expected final score. With a target typed beside it,
// every option also gets its chance of reaching that final score, computed on a worker thread.
#pragma once

#include <functional>
#include <string>

#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TBackgroundJob;

class TAdvisorForm : public QWidget {
    Q_OBJECT
public:
    // currentState gives the abstract state of the running game (for Update).
    explicit TAdvisorForm(std::function<std::string()> currentState, QWidget* parent = nullptr);

    void Init(const std::string& text);   // sets the state text; does not analyse
    void Analyze();
    void AnalyzeButtonClick() { Analyze(); }
    void UpdateButtonClick();

    // The chances of the last analysis are still being computed.
    bool Computing() const;

    // Messages beside the target field.
    static QString BadTargetText();
    static QString ComputingText(int target);

private:
    void FormCreate();
    // The typed target: 0 for none (empty), -1 for text that is no target.
    int Target() const;
    void AnalyzeWithTarget(int target);

    std::function<std::string()> CurrentState;
    QPushButton* AnalyzeButton = nullptr;
    QLineEdit* StateEdit = nullptr;
    QPushButton* UpdateButton = nullptr;
    QPlainTextEdit* txtAdvice = nullptr;
    QLabel* LabelTarget = nullptr;
    QLineEdit* TargetEdit = nullptr;
    QLabel* TargetStatus = nullptr;
    TBackgroundJob* chances = nullptr;
};
