#include "AppTestSupport.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "app/settings.h"
#include "core/GeneralStuff.h"
#include "engine/QuintorStrategies.h"

namespace fs = std::filesystem;

ProgramFolder::ProgramFolder() {
    fs::create_directories(Bin());
    SetExePath(Bin());
}

std::string ProgramFolder::Root() const {
    return dir.path().toStdString();
}

std::string ProgramFolder::Bin() const {
    return Root() + "/bin";
}

std::string ProgramFolder::Make(const std::string& sub) const {
    const std::string path = Root() + "/" + sub;
    fs::create_directories(path);
    return path;
}

std::string ProgramFolder::SettingsText() const {
    return ReadWholeFile(Bin() + "/" + SettingsFileName);
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteWholeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

LogMark::LogMark() {
    quintor::FlushLog();
    offset = ReadWholeFile(quintor::LogFilePath()).size();
}

std::string LogMark::Since() const {
    quintor::FlushLog();
    const std::string all = ReadWholeFile(quintor::LogFilePath());
    return all.size() > offset ? all.substr(offset) : std::string();
}

std::string TableStore() {
    static QTemporaryDir store;
    return store.path().toStdString();
}

bool TableStoreFilled() {
    return quintor::FileExists(TableStore() + "/" + quintor::OptimalTableFileName);
}

void FillTableStore() {
    if (!TableStoreFilled()) quintor::CreateOptimalTable(TableStore());
}

std::string FolderWithTables(const ProgramFolder& f, const std::string& sub, bool variance) {
    FillTableStore();
    const std::string dir = f.Make(sub);
    const fs::path table = fs::path(TableStore()) / quintor::OptimalTableFileName;
    fs::create_symlink(table, fs::path(dir) / quintor::OptimalTableFileName);
    if (variance) fs::create_symlink(table, fs::path(dir) / quintor::VarianceTableFileName);
    return dir;
}
