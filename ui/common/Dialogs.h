#pragma once
// Modal dialogs and message boxes go through this seam so that GUI tests can
// answer them without blocking: the program holds one and hands it to each
// window it makes. Filters use the "Text|*.ext|Text|*.ext" form.
// At most one message box stands at a time: what is told while one stands
// (a failure that a worker delivers meanwhile) waits for it to close and
// then shows in one box, each text once.
#include <QColor>
#include <QFont>
#include <QPointer>
#include <QString>
#include <QStringList>

class QWidget;

class DialogProvider {
public:
    virtual ~DialogProvider() = default;
    // Information box with one OK button.
    void information(QWidget* parent, const QString& text);
    // A question with two answers; true for `accept`, false for `reject` or
    // when the box is closed.
    bool question(QWidget* parent, const QString& text, const QString& accept, const QString& reject);
    // The same with a check box under the text (`checkText`, such as "Don't
    // ask again"); `checked` takes its state whatever the answer.
    bool question(QWidget* parent, const QString& text, const QString& accept, const QString& reject,
                  const QString& checkText, bool& checked);
    // The application's error box for an exception that escaped a command.
    void error(QWidget* parent, const QString& text);
    // Empty result: the user cancelled.
    virtual QString openFile(QWidget* parent, const QString& filter, const QString& dir);
    virtual QStringList openFiles(QWidget* parent, const QString& filter, const QString& dir);
    virtual QString saveFile(QWidget* parent, const QString& filter, const QString& dir);
    virtual bool chooseFont(QWidget* parent, QFont& font, QColor& color);
    virtual bool chooseColor(QWidget* parent, QColor& color);

protected:
    // The boxes themselves, shown one at a time by the functions above.
    virtual void showInformation(QWidget* parent, const QString& text);
    // `checked` is null for a question without a check box.
    virtual bool askQuestion(QWidget* parent, const QString& text, const QString& accept,
                             const QString& reject, const QString& checkText, bool* checked);
    virtual void showError(QWidget* parent, const QString& text);

private:
    // The box standing now (its text, or a question), and what waits for it.
    struct Standing {
        bool up = false;
        QString text;
        QStringList waiting;
        bool waitingIsError = false;
        QPointer<QWidget> waitingParent;
    };
    struct BoxUp;

    void tell(QWidget* parent, const QString& text, bool error);
    bool waitForTheStandingBox(QWidget* parent, const QString& text, bool error);
    void tellWaiting();

    Standing m_standing;
};

// "Pictavo Files (*.PVX)|*.pvx" -> Qt's "Pictavo Files (*.PVX) (*.pvx)" list.
QStringList qtFilters(const QString& pipeFilter);
