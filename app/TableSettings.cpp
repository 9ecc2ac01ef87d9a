#include "app/TableSettings.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "app/Dialogs.h"
#include "app/settings.h"
#include "app/windowplaces.h"
#include "core/GeneralStuff.h"
#include "engine/QuintorStrategies.h"
#include "engine/QuintorScoreDistribution.h"
#include "engine/QuintorStrategyAnalysis.h"

using namespace quintor;

bool TablesLoaded = false;

namespace {

const char* const ExpectedCacheName = "Optimal Expected Final Score";
const char* const VarianceCacheName = "Variance in Final Score";
const char* const ConfigureHint = "Use Settings in the Table menu to configure your tables.";
constexpr int StepSize = 1024;

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// A table is read into a spare cache first and only then swapped into the strategy, so a file
// that turns out to be short or garbage leaves the tables in memory as they were.
bool LoadCache(CacheState*& target, CacheState*& spare, const char* name,
               const std::string& fullName) {
    try {
        CreateCache(spare, name, GrandTotal, fullName);
    } catch (const QuintorError& e) {
        Dialogs().ShowError(Q(e.what()) + "\n" + ConfigureHint);
        return false;
    }
    if (target) {
        std::swap(*target, *spare);
    } else {
        target = spare;
        spare = nullptr;
    }
    return true;
}

CacheState* spareExpected = nullptr;
CacheState* spareVariance = nullptr;

void StepBar(QProgressBar* bar) {
    bar->setValue(std::min(bar->maximum(), bar->value() + StepSize));
    bar->repaint();
}

bool Holds(const CacheState* c) {
    return c && CountKnownEntries(c->Table) > 0;
}

QString InfoText(const char* title, const CacheState* c, const QString& valueText) {
    QString text = QString::fromLatin1(title) + "\n\n# Known entries in table = ";
    if (!Holds(c)) return text + "0\nThis table has not been loaded in this run.";
    return text + QString::number(CountKnownEntries(c->Table)) + "\n" + Q(c->Name) + " of " +
           Q(OptimalStrategy->ShortName) + " for " + Q(ScoreItemName(c->Line)) + " = " +
           valueText;
}

}  // namespace

std::string TableFullName(const std::string& fileName) {
    return ReadTablesLocation() + "/" + fileName;
}

bool TableExists(const std::string& fileName) {
    return FileExists(TableFullName(fileName));
}

void LoadTables() {
    QuintorStrategyState* S = OptimalStrategy;
    const std::string expected = TableFullName(OptimalTableFileName);
    bool found = false;
    if (TableExists(OptimalTableFileName)) {
        found = LoadCache(S->Cache, spareExpected, ExpectedCacheName, expected);
        if (found) TablesLoaded = true;
    } else {
        Dialogs().Inform("Could not find " + Q(expected) + ". " + ConfigureHint);
    }
    S->ExpectedCache = S->Cache;

    const std::string variance = TableFullName(VarianceTableFileName);
    if (TableExists(VarianceTableFileName)) {
        LoadCache(S->VarianceCache, spareVariance, VarianceCacheName, variance);
    } else if (found) {
        Dialogs().Inform("Could not find " + Q(variance) + ". Standard deviations suppressed. " +
                         ConfigureHint);
    }
}

// ---- The window --------------------------------------------------------------------------------

TCreateTableForm::TCreateTableForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName("CreateTableForm");
    setWindowTitle("Table Settings");
    setFixedSize(464, 345);
    CreateControls();
    CreateConnections();
    PlaceWindow(this, QPoint(441, 208));
    // While this window is open the creation runs step its bars; closed, a step does nothing.
    Progress().optimalStep = [this] { StepBar(PBOptE); };
    Progress().varianceStep = [this] { StepBar(PBV); };
    FormCreate();
}

TCreateTableForm::~TCreateTableForm() {
    Progress().optimalStep = {};
    Progress().varianceStep = {};
}

void TCreateTableForm::FormCreate() {
    UpdateTableInfo();
}

QGroupBox* TCreateTableForm::CreateGroup(const char* name, const QString& title, int top,
                                         QLabel*& text, QPushButton*& info,
                                         QPushButton*& create, QProgressBar*& bar) {
    auto* group = new QGroupBox(title, this);
    group->setObjectName(name);
    group->setGeometry(12, top, 440, 108);

    text = new QLabel("Table information", group);
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    text->setGeometry(12, 24, 200, 76);

    info = new QPushButton("Info...", group);
    info->setGeometry(236, 40, 90, 28);
    create = new QPushButton("Create", group);
    create->setGeometry(338, 40, 90, 28);

    // Under the label and stretching under the Create button; it replaces both buttons.
    bar = new QProgressBar(group);
    bar->setGeometry(12, 80, 416, 18);
    bar->setRange(0, NGameStates);
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->hide();
    return group;
}

void TCreateTableForm::CreateControls() {
    Label2 = new QLabel("Location:", this);
    Label2->setObjectName("Label2");
    Label2->setGeometry(12, 16, 60, 24);

    textLocation = new QLineEdit(this);
    textLocation->setObjectName("textLocation");
    textLocation->setGeometry(76, 16, 336, 24);
    textLocation->setEnabled(false);

    ChangeLocationButton = new QPushButton("...", this);
    ChangeLocationButton->setObjectName("ChangeLocationButton");
    ChangeLocationButton->setGeometry(418, 16, 34, 24);

    GroupBox1 = CreateGroup("GroupBox1", "Optimal Expected Score (required)", 52,
                            OptExpectedText, ExpectedInfo, ExpectedCreate, PBOptE);
    OptExpectedText->setObjectName("OptExpectedText");
    ExpectedInfo->setObjectName("ExpectedInfo");
    ExpectedCreate->setObjectName("ExpectedCreate");
    PBOptE->setObjectName("PBOptE");

    GroupBox2 = CreateGroup("GroupBox2", "Variance-in-Score (optional)", 168, VarianceText,
                            VarianceInfo, VarianceCreate, PBV);
    VarianceText->setObjectName("VarianceText");
    VarianceInfo->setObjectName("VarianceInfo");
    VarianceCreate->setObjectName("VarianceCreate");
    PBV->setObjectName("PBV");

    Label1 = new QLabel("WARNING: Creating tables may take some time. On slower machines this "
                        "can even take over 6 hours.",
                        this);
    Label1->setObjectName("Label1");
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    Label1->setWordWrap(true);
    Label1->setGeometry(12, 288, 246, 48);

    BothCreate = new QPushButton("Create Both", this);
    BothCreate->setObjectName("BothCreate");
    BothCreate->setGeometry(270, 298, 90, 28);

    OKButton = new QPushButton("OK", this);
    OKButton->setObjectName("OKButton");
    OKButton->setGeometry(362, 298, 90, 28);
    // Enter presses OK whichever button has the focus; Escape closes the dialog as well.
    for (QPushButton* b : findChildren<QPushButton*>()) b->setAutoDefault(false);
    OKButton->setDefault(true);
}

void TCreateTableForm::CreateConnections() {
    connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
    connect(ChangeLocationButton, &QPushButton::clicked, this,
            [this] { ChangeLocationButtonClick(); });
    connect(ExpectedInfo, &QPushButton::clicked, this, [this] { ExpectedInfoClick(); });
    connect(VarianceInfo, &QPushButton::clicked, this, [this] { VarianceInfoClick(); });
    connect(ExpectedCreate, &QPushButton::clicked, this, [this] { ExpectedCreateClick(); });
    connect(VarianceCreate, &QPushButton::clicked, this, [this] { VarianceCreateClick(); });
    connect(BothCreate, &QPushButton::clicked, this, [this] { BothCreateClick(); });
}

void TCreateTableForm::UpdateTableInfo() {
    textLocation->setText(Q(ReadTablesLocation()));
    OptExpectedText->resize(200, OptExpectedText->height());
    VarianceText->resize(200, VarianceText->height());

    const bool expected = TableExists(OptimalTableFileName);
    const bool variance = TableExists(VarianceTableFileName);
    const char* const found =
        "Table found.\nClick Info for information about this table.\n"
        "Click Create to recreate the table.";

    ExpectedInfo->setEnabled(expected);
    OptExpectedText->setText(expected ? found
                                      : "Table not found.\nThis table is required, either click "
                                        "Create to create this table or change the location.");

    VarianceInfo->setEnabled(variance);
    VarianceCreate->setEnabled(expected);
    if (variance && expected)
        VarianceText->setText(found);
    else if (variance)
        VarianceText->setText("Table found.\nYou must first create the Optimal Expected Score "
                              "Table before you can use the Quintor Trainer.");
    else if (expected)
        VarianceText->setText("Table not found.\nThis table is optional. If you want to use it "
                              "click Create to create the table.");
    else
        VarianceText->setText("Table not found.\nYou must first create the Optimal Expected "
                              "Score Table before you can compute the Variance.");
}

bool TCreateTableForm::ConfirmOverwrite(const std::string& fileName) {
    if (!TableExists(fileName)) return true;
    return Dialogs().Ask("Overwrite existing table \"" + Q(TableFullName(fileName)) + "\"?");
}

void TCreateTableForm::OKButtonClick() {
    accept();
}

void TCreateTableForm::ChangeLocationButtonClick() {
    std::string start = ReadTablesLocation();
    if (!DirectoryExists(start)) start = GetExePath() + "/..";
    const QString chosen = Dialogs().ChooseDirectory(Q(start));
    if (chosen.isEmpty()) return;

    const std::string dir = chosen.toStdString();
    // Shown only once it is saved: a settings file that takes no write keeps the old location.
    WriteTablesLocation(dir);
    textLocation->setText(chosen);
    LogFile() << "Table location set to \"" << dir << "\"\n";
    FlushLog();
    LoadTables();
    UpdateTableInfo();
}

void TCreateTableForm::ExpectedInfoClick() {
    const CacheState* c = OptimalStrategy->ExpectedCache;
    const QString value = Holds(c) ? Q(GeneralStr(OptimalStateValue(InitialGameState))) : "";
    Dialogs().Inform(InfoText("Information about Optimal Expected Score Table", c, value));
}

void TCreateTableForm::VarianceInfoClick() {
    const CacheState* c = OptimalStrategy->VarianceCache;
    QString value;
    if (Holds(c) && TablesLoaded)
        value = Q(GeneralStr(std::sqrt(
                    StrategyVariance(OptimalStrategy, InitialGameState, InitialTurnState)))) +
                "^2";
    else
        c = nullptr;
    Dialogs().Inform(InfoText("Information about Variance-in-Score Table", c, value));
}

CreateResult TCreateTableForm::CreateTable(const char* fileName, QLabel* text, QPushButton* info,
                                           QPushButton* create, QProgressBar* bar,
                                           void (*run)(const std::string&, int)) {
    if (!ConfirmOverwrite(fileName)) return CreateResult::Declined;

    QApplication::setOverrideCursor(Qt::WaitCursor);
    create->hide();
    info->hide();
    text->setText("Creating table. Please wait...");
    bar->setValue(0);
    bar->show();
    repaint();

    // The screen comes back the same way whether the run finished or failed.
    auto finish = [&] {
        bar->hide();
        UpdateTableInfo();
        create->show();
        info->show();
        QApplication::restoreOverrideCursor();
    };
    try {
        run(ReadTablesLocation(), 0);
    } catch (const QuintorError& e) {
        finish();
        Dialogs().ShowError("The table \"" + Q(TableFullName(fileName)) +
                            "\" was not created: " + Q(e.what()));
        return CreateResult::Failed;
    } catch (...) {
        finish();
        throw;
    }
    finish();
    return CreateResult::Created;
}

CreateResult TCreateTableForm::CreateExpectedTable() {
    // The flag is set before the screen is refreshed: the table is in memory from here on.
    auto run = [](const std::string& location, int threads) {
        CreateOptimalTable(location, threads);
        TablesLoaded = true;
    };
    return CreateTable(OptimalTableFileName, OptExpectedText, ExpectedInfo, ExpectedCreate,
                       PBOptE, run);
}

CreateResult TCreateTableForm::ExpectedCreateClick() {
    const CreateResult r = CreateExpectedTable();
    if (r == CreateResult::Created) CreateDistribution();
    return r;
}

void TCreateTableForm::CreateDistribution() {
    // The expected-score group's bar counts the turns of the forward pass.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ExpectedCreate->hide();
    ExpectedInfo->hide();
    OptExpectedText->setText("Computing the final score distribution. Please wait...");
    PBOptE->setRange(0, NCategories);
    PBOptE->setValue(0);
    PBOptE->show();
    repaint();
    QString failure;
    try {
        CreateScoreDistribution(ReadTablesLocation(), 0, [this](int turns) {
            PBOptE->setValue(turns);
            PBOptE->repaint();
        });
    } catch (const QuintorError& e) {
        failure = Q(e.what());
    }
    PBOptE->hide();
    PBOptE->setRange(0, NGameStates);
    ExpectedCreate->show();
    ExpectedInfo->show();
    UpdateTableInfo();
    QApplication::restoreOverrideCursor();
    // Not fatal: the analysis windows compute it again when they need it.
    if (!failure.isEmpty())
        Dialogs().ShowError("The final score distribution \"" +
                            Q(TableFullName(DistributionFileName)) + "\" was not saved: " + failure);
}

CreateResult TCreateTableForm::VarianceCreateClick() {
    if (!TablesLoaded) {
        Dialogs().Inform("You must first create the Optimal Expected Score Table before you can "
                         "compute the Variance.");
        return CreateResult::Failed;
    }
    return CreateTable(VarianceTableFileName, VarianceText, VarianceInfo, VarianceCreate, PBV,
                       CreateVarianceTable);
}

void TCreateTableForm::BothCreateClick() {
    const CreateResult expected = CreateExpectedTable();
    if (expected == CreateResult::Failed) return;
    VarianceCreateClick();
    // The third step, from the expected-score table just made.
    if (expected == CreateResult::Created) CreateDistribution();
}
