// A game recording window: the welcome text, then a note while the game runs, then the game's
// analysis report, which the user can save as a text file.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QWidget>

#include "play/QuintorGameRecordings.h"

class QHBoxLayout;
class QPlainTextEdit;
class QPushButton;

class TGameRecForm : public QWidget {
    Q_OBJECT
public:
    explicit TGameRecForm(QWidget* parent = nullptr);

    static constexpr int DesignedLeft = 337;
    static constexpr int DesignedTop = 113;
    static constexpr int DesignedWidth = 541;
    static constexpr int DesignedHeight = 570;
    static QString DesignedCaption() { return QStringLiteral("Game Recording"); }

    // The window shows an analysis that has not been saved since it was written.
    bool Unsaved = false;
    // Called when the user has closed the window, just before it is destroyed.
    std::function<void(TGameRecForm*)> OnClosed;

    void ShowGameInProgress();
    void ShowAnalysis(const quintor::GameRecording& rec);
    void SaveButtonClick();
    // Opens the analysis window of the game shown (once it has ended or been aborted).
    void AnalysisButtonClick();
    std::vector<std::string> Lines() const;

protected:
    void closeEvent(QCloseEvent* ev) override;

private:
    void FormCreate();
    void SetLines(const std::vector<std::string>& lines);
    // The window width at which the text area shows line without scrolling sideways.
    int WidthForText(const QString& line) const;

    // The row of buttons above the text; more buttons join it after Save.
    QHBoxLayout* ButtonRow = nullptr;
    QPushButton* SaveButton = nullptr;
    QPushButton* AnalysisButton = nullptr;
    quintor::GameRecording analysed;   // the game whose report is shown
    QPlainTextEdit* txtGameRec = nullptr;
};

// The directory of the last saved recording; at start the program's directory.
std::string LastSaveDir();
void SetLastSaveDir(const std::string& dir);
