#pragma once
// libjpeg reports fatal errors through a callback that must not return, so
// it longjmps back into the small functions that call libjpeg. Those hold no
// objects with destructors; their callers own everything and throw.
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE

#include "graphics/PictureDamage.h"

#include <jpeglib.h>
// jerror.h's codes depend on the library version that jpeglib.h names.
#include <jerror.h>

namespace jpegerr {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    PictureDamage damage; // the first warning that cost pixels
};

[[noreturn]] inline void errorExit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Warnings print nothing: the decode goes on and shows what there is. Those
// that mean missing or wrong pixels mark the picture damaged; padding
// before a marker, which some cameras write, costs nothing.
inline PictureDamage warningDamage(int code)
{
    switch (code) {
    case JWRN_JPEG_EOF:
        return PictureDamage::EndsEarly;
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_BOGUS_PROGRESSION:
        return PictureDamage::Corrupt;
    default:
        return PictureDamage::None;
    }
}

inline void emitMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return;
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    ++err->pub.num_warnings;
    if (err->damage == PictureDamage::None)
        err->damage = warningDamage(err->pub.msg_code);
}

inline void outputMessage(j_common_ptr) {}

inline void installErrorManager(ErrorManager& err)
{
    jpeg_std_error(&err.pub);
    err.pub.error_exit = errorExit;
    err.pub.emit_message = emitMessage;
    err.pub.output_message = outputMessage;
    err.damage = PictureDamage::None;
}

} // namespace jpegerr
