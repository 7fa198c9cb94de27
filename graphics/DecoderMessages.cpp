#include "graphics/DecoderMessages.h"

#include <QtGlobal>

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include <tiffio.h>

namespace {

void qtMessage(QtMsgType type, const QMessageLogContext& context, const QString& text);
void tiffMessage(const char* module, const char* format, va_list args);

// Qt and libtiff take their message handlers as plain function pointers
// with no room for an object, so what the handlers read lives here, the one
// piece of process-wide state of its kind: installed on first use.
struct Handlers {
    Handlers() : previous(qInstallMessageHandler(qtMessage))
    {
        TIFFSetErrorHandler(tiffMessage);
        TIFFSetWarningHandler(tiffMessage);
    }
    bool held() const { return depth > 0 && !shown.load(std::memory_order_relaxed); }

    std::atomic<bool> shown{false};
    const QtMessageHandler previous;
    // QuietDecodings open on this thread.
    static thread_local int depth;
};
thread_local int Handlers::depth = 0;

Handlers& handlers()
{
    static Handlers installed;
    return installed;
}

void qtMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    const Handlers& h = handlers();
    if (type != QtFatalMsg && h.held())
        return;
    if (h.previous)
        h.previous(type, context, text);
}

// libtiff's own default handlers print "module: text" to standard error.
void tiffMessage(const char* module, const char* format, va_list args)
{
    if (handlers().held())
        return;
    if (module)
        std::fprintf(stderr, "%s: ", module);
    std::vfprintf(stderr, format, args);
    std::fprintf(stderr, ".\n");
}

} // namespace

QuietDecoding::QuietDecoding()
{
    handlers();
    ++Handlers::depth;
}

QuietDecoding::~QuietDecoding()
{
    --Handlers::depth;
}

void showDecoderMessages(bool shown)
{
    handlers().shown = shown;
}
