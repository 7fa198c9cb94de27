#pragma once
// The text of the AppError a call raises, or nothing when it raises none.
#include "core/Errors.h"

#include <functional>

inline QString errorText(const std::function<void()>& call)
{
    try {
        call();
    } catch (const AppError& e) {
        return e.text();
    }
    return QString();
}
