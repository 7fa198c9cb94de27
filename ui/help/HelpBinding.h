#pragma once
// The Help command: the help file's table of contents in the program's own
// help window. The program names the help file by the fixed Windows path it
// was always given; it maps into the data folder.
#include <QPointer>
#include <QString>

#include <functional>

class QWidget;
class HelpWindow;
class DialogProvider;
struct UiProgramTexts;

class HelpBinding {
public:
    // Failures to open the help are told through `dialogs`.
    explicit HelpBinding(DialogProvider& dialogs);
    ~HelpBinding();
    HelpBinding(const HelpBinding&) = delete;
    HelpBinding& operator=(const HelpBinding&) = delete;

    void setApplicationHelpFile(const QString& file) { m_applicationFile = file; }
    // What the help window gets when it is built: the program's texts (the
    // missing page's; must outlive this) and the language's own words.
    void setTexts(const UiProgramTexts* texts, std::function<void(QWidget*)> translate)
    {
        m_texts = texts;
        m_translate = std::move(translate);
    }

    // The help file the Help command opens, as a local path.
    QString helpFile() const;

    // Shows the contents in the help window. A file that is not a compiled
    // HTML help file is left alone; one that cannot be read is reported
    // through the dialogs seam.
    void showContents(QWidget* caller);
    // Hides the help window (program end).
    void close();
    // The help window once the Help command has opened it, else nullptr.
    HelpWindow* window() const;

private:
    DialogProvider& m_dialogs;
    QString m_applicationFile;
    QPointer<HelpWindow> m_window;
    const UiProgramTexts* m_texts = nullptr;
    std::function<void(QWidget*)> m_translate;
};
