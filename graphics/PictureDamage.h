#pragma once
// What is wrong with a picture whose file decodes only in part: the decoder
// shows what it has, and nothing may write those pixels back over the file.
#include <QString>

enum class PictureDamage { None, EndsEarly, Corrupt };

// The reason as the messages word it, "its data ends early"; empty for None.
inline QString damageReason(PictureDamage damage)
{
    switch (damage) {
    case PictureDamage::EndsEarly:
        return QStringLiteral("its data ends early");
    case PictureDamage::Corrupt:
        return QStringLiteral("its data is corrupt");
    case PictureDamage::None:
        break;
    }
    return QString();
}
