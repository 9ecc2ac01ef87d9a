// A scripted stand-in for the program's dialogs: every dialog must have been expected, in
// order, with its answer; each text shown is recorded. Any other dialog fails the test.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/Dialogs.h"

class ScriptedDialogs : public DialogService {
public:
    enum Kind { AskKind, InformKind, ErrorKind, SaveKind, DirectoryKind };
    struct Shown {
        Kind kind;
        std::string text;   // the question or message; the title or start directory of a dialog
    };

    ScriptedDialogs() { SetDialogs(this); }
    ~ScriptedDialogs() override {
        SetDialogs(nullptr);
        for (const Step& s : script) ADD_FAILURE() << "dialog of kind " << s.kind << " never shown";
    }

    void ExpectAsk(bool ok) { script.push_back({AskKind, "", ok}); }
    void ExpectInform() { script.push_back({InformKind, "", true}); }
    void ExpectError() { script.push_back({ErrorKind, "", true}); }
    void ExpectSaveFile(const std::string& name) { script.push_back({SaveKind, name, true}); }
    void ExpectDirectory(const std::string& dir) { script.push_back({DirectoryKind, dir, true}); }
    bool Done() const { return script.empty(); }
    std::vector<std::string> Texts(Kind kind) const {
        std::vector<std::string> out;
        for (const Shown& s : shown)
            if (s.kind == kind) out.push_back(s.text);
        return out;
    }

    bool Ask(const QString& text) override { return Take(AskKind, text).ok; }
    void Inform(const QString& text) override { Take(InformKind, text); }
    void ShowError(const QString& text) override { Take(ErrorKind, text); }
    QString ChooseSaveFile(const QString& title, const QString&, const QString&, const QString&,
                           const QString&) override {
        return QString::fromStdString(Take(SaveKind, title).answer);
    }
    QString ChooseDirectory(const QString& start) override {
        return QString::fromStdString(Take(DirectoryKind, start).answer);
    }

    std::vector<Shown> shown;
    std::function<void(const std::string&)> onShown;   // called with each text as it shows

private:
    struct Step {
        Kind kind;
        std::string answer;
        bool ok;
    };
    // An unexpected dialog gets Cancel (or nothing): that leaves the program least changed.
    Step Take(Kind kind, const QString& text) {
        shown.push_back({kind, text.toStdString()});
        if (onShown) onShown(shown.back().text);
        if (script.empty() || script.front().kind != kind) {
            ADD_FAILURE() << "unexpected dialog of kind " << kind << ": " << shown.back().text;
            return {kind, "", false};
        }
        Step s = script.front();
        script.pop_front();
        return s;
    }
    std::deque<Step> script;
};
