#pragma once
// libjpeg reports fatal errors through a callback that must not return, so
// it longjmps back into the small functions that call libjpeg. Those hold no
// objects with destructors; their callers own everything and throw.
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE

#include "graphics/JpegCodec.h"
#include "graphics/PictureDamage.h"
#include "graphics/PictureLimits.h"

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

// The code limitScans stops with; jpegFailure words it.
inline constexpr int TooManyScans = 10000;

// Each scan of a progressive file is a pass over all its coefficients: a
// few bytes a scan could keep the decoder busy for minutes.
inline void limitScans(j_common_ptr common)
{
    auto* d = reinterpret_cast<j_decompress_ptr>(common);
    if (common->is_decompressor && d->input_scan_number > MaxJpegScans) {
        common->err->msg_code = TooManyScans;
        common->err->error_exit(common);
    }
}

// The limits every decompressor gets before it reads a byte: its working
// memory (progressive and multi-scan files keep every coefficient of the
// picture, up to 8 bytes a pixel) and its scans. `progress` must live as
// long as the decompressor.
inline void limitDecoder(jpeg_decompress_struct& cinfo, jpeg_progress_mgr& progress)
{
    cinfo.mem->max_memory_to_use = long(pictureByteLimit());
    progress.progress_monitor = limitScans;
    cinfo.progress = &progress;
}

// The source's colour space and sampling on an encoder whose input is set
// (after jpeg_set_defaults).
inline void applyEncoding(jpeg_compress_struct& cinfo, const JpegEncoding& e)
{
    jpeg_set_colorspace(&cinfo, J_COLOR_SPACE(e.colourSpace));
    for (int i = 0; i < cinfo.num_components && i < 4; ++i) {
        cinfo.comp_info[i].h_samp_factor = e.h[std::size_t(i)];
        cinfo.comp_info[i].v_samp_factor = e.v[std::size_t(i)];
    }
    if (e.cmyk())
        cinfo.write_Adobe_marker = e.adobe || e.colourSpace == JCS_YCCK ? TRUE : FALSE;
}

} // namespace jpegerr
