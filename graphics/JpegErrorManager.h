#pragma once
// libjpeg reports fatal errors through a callback that must not return, so
// it longjmps back into the small functions that call libjpeg. Those hold no
// objects with destructors; their callers own everything and throw.
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE

#include <jpeglib.h>

namespace jpegerr {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] inline void errorExit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Warnings (a truncated file among them) are not worth a word: the decode
// goes on and shows what there is.
inline void outputMessage(j_common_ptr) {}

inline void installErrorManager(ErrorManager& err)
{
    jpeg_std_error(&err.pub);
    err.pub.error_exit = errorExit;
    err.pub.output_message = outputMessage;
}

} // namespace jpegerr
