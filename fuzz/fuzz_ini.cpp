// Settings and language files: the INI reader, its one-line writer, integer
// parsing and the language loader.
#include "fuzz/FuzzSupport.h"
#include "settings/IniFile.h"
#include "settings/UiText.h"

#include <cstdlib>
#include <map>

namespace {

class CountingSink : public UiTextSink {
public:
    bool setText(const UiTarget& target, const QString& text) override
    {
        shown[key(target)] = text;
        return true;
    }
    std::optional<QString> text(const UiTarget& target) const override
    {
        const auto it = shown.find(key(target));
        if (it == shown.end())
            return std::nullopt;
        return it->second;
    }
    void setProgramText(ProgramText, const QString&) override {}

private:
    static QString key(const UiTarget& t)
    {
        return QString::fromLatin1(t.window) + QLatin1Char('/') +
               QString::fromLatin1(t.element ? t.element : "") + QLatin1Char('/') +
               QString::number(int(t.part)) + QLatin1Char('/') + QString::number(t.index);
    }
    std::map<QString, QString> shown;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    parseIniInteger(decode8BitText(bytes.left(64)));

    IniFile ini = IniFile::fromBytes(bytes);
    CountingSink sink;
    applyLanguageFile(ini, sink);
    ini.readInteger(QStringLiteral("Settings"), QStringLiteral("Delay"), 5);
    ini.readBool(QStringLiteral("SlideShow"), QStringLiteral("Loop"), false);

    // One write changes that key only; reading the written document gives
    // the value back.
    const QString value = QStringLiteral("fuzz value");
    ini.writeString(QStringLiteral("Settings"), QStringLiteral("Language"), value);
    const IniFile again = IniFile::fromBytes(ini.toBytes());
    if (again.value(QStringLiteral("Settings"), QStringLiteral("Language")) != value)
        std::abort();
    return 0;
}
