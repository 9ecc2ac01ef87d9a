// The two table files: their existence in the table location, their loading, and the table
// settings window that shows them, changes the location and creates the tables.
#pragma once

#include <string>

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// True once the expected-score table has been loaded or created in this run; never reset.
extern bool TablesLoaded;

// The table location, a separator and the file name.
std::string TableFullName(const std::string& fileName);
bool TableExists(const std::string& fileName);
// Loads what the table location holds into the optimal strategy. A missing file is reported in
// an information box; a file that cannot be read in an error box, and the tables in memory stay.
void LoadTables();

// How a creation click ended.
enum class CreateResult { Created, Declined, Failed };

class TCreateTableForm : public QDialog {
    Q_OBJECT
public:
    explicit TCreateTableForm(QWidget* parent = nullptr);
    ~TCreateTableForm() override;

    void UpdateTableInfo();
    bool ConfirmOverwrite(const std::string& fileName);

    void OKButtonClick();
    void ChangeLocationButtonClick();
    void ExpectedInfoClick();
    void VarianceInfoClick();
    CreateResult ExpectedCreateClick();
    CreateResult VarianceCreateClick();
    void BothCreateClick();

    QLabel* Label2 = nullptr;
    QLineEdit* textLocation = nullptr;
    QPushButton* ChangeLocationButton = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* OptExpectedText = nullptr;
    QPushButton* ExpectedInfo = nullptr;
    QPushButton* ExpectedCreate = nullptr;
    QProgressBar* PBOptE = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QLabel* VarianceText = nullptr;
    QPushButton* VarianceInfo = nullptr;
    QPushButton* VarianceCreate = nullptr;
    QProgressBar* PBV = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* BothCreate = nullptr;
    QPushButton* OKButton = nullptr;

private:
    void FormCreate();
    void CreateControls();
    void CreateConnections();
    CreateResult CreateExpectedTable();
    // The final score distribution of the expected-score table just created, saved beside it.
    void CreateDistribution();
    QGroupBox* CreateGroup(const char* name, const QString& title, int top, QLabel*& text,
                           QPushButton*& info, QPushButton*& create, QProgressBar*& bar);
    // Shared by both creation runs: the screen before, the run, and the screen after, also
    // when the run fails.
    CreateResult CreateTable(const char* fileName, QLabel* text, QPushButton* info,
                             QPushButton* create, QProgressBar* bar,
                             void (*run)(const std::string&, int));
};
