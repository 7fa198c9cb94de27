#pragma once
// The sign of work over the main image while its picture is decoded: the
// file's embedded preview, fitted, under a busy bar that screen readers
// announce ("Loading …"). The LoadingSign says when and what; this draws.
#include <QWidget>

class LoadingSign;
class QProgressBar;

class LoadingIndicator : public QWidget {
public:
    // Covers `viewport`, the main image's scroll area's.
    LoadingIndicator(const LoadingSign& sign, QWidget* viewport);
    QProgressBar* bar() const { return m_bar; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent*) override;

private:
    void follow();

    const LoadingSign& m_sign;
    QProgressBar* m_bar;
};
