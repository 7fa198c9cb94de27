#include "graphics/DecoderMessages.h"

#include <QtGlobal>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include <tiffio.h>

namespace {

thread_local int t_depth = 0;
std::atomic<bool> g_shown{false};
QtMessageHandler g_previous = nullptr;

bool held()
{
    return t_depth > 0 && !g_shown.load(std::memory_order_relaxed);
}

void qtMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type != QtFatalMsg && held())
        return;
    if (g_previous)
        g_previous(type, context, text);
}

// libtiff's own default handlers print "module: text" to standard error.
void tiffMessage(const char* module, const char* format, va_list args)
{
    if (held())
        return;
    if (module)
        std::fprintf(stderr, "%s: ", module);
    std::vfprintf(stderr, format, args);
    std::fprintf(stderr, ".\n");
}

void install()
{
    static std::once_flag once;
    std::call_once(once, [] {
        g_previous = qInstallMessageHandler(qtMessage);
        TIFFSetErrorHandler(tiffMessage);
        TIFFSetWarningHandler(tiffMessage);
    });
}

} // namespace

QuietDecoding::QuietDecoding()
{
    install();
    ++t_depth;
}

QuietDecoding::~QuietDecoding()
{
    --t_depth;
}

void showDecoderMessages(bool shown)
{
    g_shown = shown;
}
