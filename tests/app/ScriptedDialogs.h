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
    // Shown: the message, or a dialog's title or start directory. Expected: the answer.
    struct Entry { Kind kind; std::string text; bool ok = true; };

    ScriptedDialogs() { SetDialogs(this); }
    ~ScriptedDialogs() override {
        SetDialogs(nullptr);
        for (const Entry& e : script) ADD_FAILURE() << "never shown: dialog of kind " << e.kind;
    }

    void ExpectAsk(bool ok) { script.push_back({AskKind, "", ok}); }
    void ExpectInform() { script.push_back({InformKind, ""}); }
    void ExpectError() { script.push_back({ErrorKind, ""}); }
    void ExpectSaveFile(const std::string& name) { script.push_back({SaveKind, name}); }
    void ExpectDirectory(const std::string& dir) { script.push_back({DirectoryKind, dir}); }
    bool Done() const { return script.empty(); }
    std::string Last() const { return shown.empty() ? "" : shown.back().text; }
    std::vector<std::string> Texts(Kind kind) const {
        std::vector<std::string> out;
        for (const Entry& s : shown)
            if (s.kind == kind) out.push_back(s.text);
        return out;
    }

    bool Ask(const QString& text) override { return Take(AskKind, text).ok; }
    void Inform(const QString& text) override { Take(InformKind, text); }
    void ShowError(const QString& text) override { Take(ErrorKind, text); }
    QString ChooseSaveFile(const QString& title, const QString&, const QString&, const QString&,
                           const QString&) override {
        return QString::fromStdString(Take(SaveKind, title).text);
    }
    QString ChooseDirectory(const QString& start) override {
        return QString::fromStdString(Take(DirectoryKind, start).text);
    }

    std::vector<Entry> shown;
    std::function<void(const std::string&)> onShown;   // called with each text as it shows

private:
    // An unexpected dialog gets Cancel (or nothing): that leaves the program least changed.
    Entry Take(Kind kind, const QString& text) {
        shown.push_back({kind, text.toStdString()});
        if (onShown) onShown(shown.back().text);
        if (script.empty() || script.front().kind != kind) {
            ADD_FAILURE() << "unexpected dialog of kind " << kind << ": " << shown.back().text;
            return {kind, "", false};
        }
        const Entry e = script.front();
        script.pop_front();
        return e;
    }
    std::deque<Entry> script;
};
