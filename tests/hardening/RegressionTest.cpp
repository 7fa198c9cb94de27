// Inputs the fuzzers found, each kept with the outcome it must have now.
// A file in regressions/ without an entry here fails the suite, so no
// finding is kept without saying what it must do.
#include "collection/CollectionFile.h"
#include "graphics/BmpCodec.h"
#include "graphics/Errors.h"
#include "graphics/JpegCodec.h"
#include "graphics/Picture.h"
#include "help/ChmFile.h"
#include "help/Sitemap.h"
#include "settings/IniFile.h"

#include <QDir>
#include <QFile>
#include <cctype>
#include <functional>
#include <gtest/gtest.h>

namespace {

const QString kDir = QStringLiteral(PV_REGRESSIONS_DIR);

struct Finding {
    const char* file;
    // What the reader reports now; empty when the input must load.
    const char* message;
    std::function<void(const QString& path)> read;
};

void openHelp(const QString& path)
{
    ChmFile chm(path);
    for (const QString& object : chm.objects())
        chm.read(object);
    if (const auto contents = chm.read(chm.contentsFile()))
        help::parseSitemap(help::decodeSitemap(*contents));
}

const std::vector<Finding>& findings()
{
    static const std::vector<Finding> list{
        // A zero LZX window size: chmlib divided by it while opening.
        {"chm-zero-window-size.chm", "Cannot open file \"%1\". Not a compiled HTML help file", openHelp},
    };
    return list;
}

class Regression : public ::testing::TestWithParam<Finding> {};

TEST_P(Regression, ReaderGivesItsMessageOrLoads)
{
    const Finding& f = GetParam();
    const QString path = kDir + QLatin1Char('/') + QLatin1String(f.file);
    ASSERT_TRUE(QFile::exists(path)) << f.file;
    QString message;
    try {
        f.read(path);
    } catch (const AppError& e) {
        message = e.text();
    }
    const QString expected = *f.message ? QString::fromLatin1(f.message).arg(path) : QString();
    EXPECT_EQ(message, expected);
}

std::string findingName(const ::testing::TestParamInfo<Finding>& info)
{
    std::string name = info.param.file;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(FuzzFindings, Regression, ::testing::ValuesIn(findings()), findingName);

TEST(RegressionFiles, EveryKeptInputHasItsExpectedOutcome)
{
    QStringList listed;
    for (const Finding& f : findings())
        listed << QLatin1String(f.file);
    const QStringList kept = QDir(kDir).entryList(QDir::Files);
    for (const QString& file : kept)
        EXPECT_TRUE(listed.contains(file)) << file.toStdString() << " has no expected outcome";
}

} // namespace
