#pragma once
// The print command's preview: the page as it will print, zoom, the
// page's orientation and setup, and the options a caller adds (the
// caption). Our own rather than Qt's preview dialog, whose tool bar and
// preview can only be reached by searching its children.
#include <QDialog>

class QPrinter;
class QPrintPreviewWidget;
class QToolBar;

struct PrintPreviewTexts {
    QString title, fitPage, zoomIn, zoomOut, portrait, landscape, pageSetup, print;
};

class PrintPreview : public QDialog {
    Q_OBJECT
public:
    PrintPreview(QPrinter* printer, const PrintPreviewTexts& texts, QWidget* parent = nullptr);

    // A control at the tool bar's end, e.g. an option of what is printed.
    void addOption(QWidget* option);

public slots:
    // Draws the page again, after an option changed what is printed.
    void updatePreview();

signals:
    // The page is wanted on `printer` (the preview's or the real one).
    void paintRequested(QPrinter* printer);

private:
    void print();
    void setUpPage();

    QPrinter* m_printer;
    QToolBar* m_tools;
    QPrintPreviewWidget* m_preview;
};
