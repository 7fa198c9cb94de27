#pragma once
// The modal effects dialog.
#include <QDialog>

class TfrmEffects : public QDialog {
    Q_OBJECT
public:
    explicit TfrmEffects(QWidget* parent = nullptr);
};
