#include "effects/Effects.h"

TfrmEffects::TfrmEffects(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmEffects"));
    setWindowTitle(QStringLiteral("Image Effects..."));
    setFixedSize(481, 358);
}
