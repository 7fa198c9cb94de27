#pragma once
// Answers the program's dialogs in tests and records its messages: handed
// to the program (or the window) under test.
#include "ui/common/Dialogs.h"

#include <QStringList>

#include <functional>

class FakeDialogs : public DialogProvider {
public:
    QStringList errors;
    QStringList infos;
    // Questions asked, and the answers to the next ones (none left: reject).
    QStringList questions;
    QList<bool> questionAnswers;
    // What the next question's check box is left at, if it has one.
    bool checkAnswer = false;
    // Answers to the next file dialogs, in order; an empty string cancels.
    QStringList openAnswers;
    QList<QStringList> openManyAnswers;
    QStringList saveAnswers;
    QStringList openFilters;     // every filter offered to an open dialog
    QStringList openFolders;     // and the folder it started in
    QStringList openFileFolders; // where each one-file open dialog started
    int saveCalls = 0;
    // Runs while each error box stands, as a modal box's own loop would.
    std::function<void()> whileErrorStands;

    void showInformation(QWidget*, const QString& text) override { infos << text; }
    void showError(QWidget*, const QString& text) override
    {
        errors << text;
        if (whileErrorStands)
            whileErrorStands();
    }
    bool askQuestion(QWidget*, const QString& text, const QString&, const QString&, const QString&,
                     bool* checked) override
    {
        questions << text;
        if (checked)
            *checked = checkAnswer;
        return !questionAnswers.isEmpty() && questionAnswers.takeFirst();
    }
    QString openFile(QWidget*, const QString&, const QString& folder) override
    {
        openFileFolders << folder;
        return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
    }
    QStringList openFiles(QWidget*, const QString& filter, const QString& folder) override
    {
        openFilters << filter;
        openFolders << folder;
        return openManyAnswers.isEmpty() ? QStringList() : openManyAnswers.takeFirst();
    }
    QString saveFile(QWidget*, const QString&, const QString&) override
    {
        ++saveCalls;
        return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
    }
    bool chooseFont(QWidget*, QFont&, QColor&) override { return false; }
    bool chooseColor(QWidget*, QColor&) override { return false; }
};
