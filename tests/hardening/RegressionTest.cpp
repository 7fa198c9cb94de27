// Inputs the fuzzers found, each kept with the outcome it must have now.
// A file in regressions/ without an entry here fails the suite, so no
// finding is kept without saying what it must do.
#include "collection/CollectionFile.h"
#include "graphics/BmpCodec.h"
#include "core/Errors.h"
#include "graphics/JpegCodec.h"
#include "graphics/Picture.h"
#include "help/ChmFile.h"
#include "help/HelpRules.h"
#include "help/Sitemap.h"
#include "settings/IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
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

// What is read and written back reads back the same.
void collectionRoundTrip(const QString& path)
{
    const QList<CollectionEntry> entries = readCollectionAll(path);
    ASSERT_FALSE(entries.isEmpty());
    QTemporaryDir dir;
    const QString again = dir.filePath("again.pvx");
    writeCollection(again, entries);
    EXPECT_EQ(readCollectionAll(again), entries);
}

const std::vector<Finding>& findings()
{
    static const std::vector<Finding> list{
        // A zero LZX window size: chmlib divided by it while opening.
        {"chm-zero-window-size.chm", "Cannot open file \"%1\". Not a compiled HTML help file", openHelp},
        // A line starting with a byte order mark lost it (and a second one
        // its U+FEFF) on the way in, so a written collection read back changed.
        {"collection-bom-inside-line.pvx", "", collectionRoundTrip},
        // The first entry's name began with U+FEFF, which the writer wrote
        // where the reader takes it for the file's byte order mark.
        {"collection-first-name-starts-with-bom.pvx", "", collectionRoundTrip},
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

namespace {

// The help file the build compiles, damaged one field at a time.
class DamagedHelp : public ::testing::Test {
protected:
    void SetUp() override
    {
        QFile f(help::localHelpPath(help::kFixedHelpPath, PV_BINARY_DIR));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        bytes = f.readAll();
        ASSERT_TRUE(dir.isValid());
        dirOffset = qsizetype(qFromLittleEndian<quint64>(bytes.constData() + 0x48));
        chunkSize = qFromLittleEndian<quint32>(bytes.constData() + dirOffset + 0x10);
        firstChunk = dirOffset + 0x54;
        leaf = bytes.indexOf("PMGL", firstChunk);
        ASSERT_GT(leaf, 0);
    }
    QString openError(const QByteArray& damaged)
    {
        const QString path = dir.filePath("damaged.chm");
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(damaged);
        f.close();
        try {
            ChmFile chm(path);
            chm.objects();
        } catch (const AppError& e) {
            return e.text();
        }
        return QString();
    }
    QString notHelp() const
    {
        return QString("Cannot open file \"%1\". Not a compiled HTML help file")
            .arg(dir.filePath("damaged.chm"));
    }

    QTemporaryDir dir;
    QByteArray bytes;
    qsizetype dirOffset = 0;
    quint32 chunkSize = 0;
    qsizetype firstChunk = 0;
    qsizetype leaf = 0;
};

TEST_F(DamagedHelp, TheUndamagedFileOpens)
{
    EXPECT_EQ(openError(bytes), QString());
}

TEST_F(DamagedHelp, DirectoryChunkNamingItselfAsNextIsRefusedNotLoopedOver)
{
    // chm_enumerate follows the "next" links of the leaf chunks for ever.
    QByteArray damaged = bytes;
    qToLittleEndian(qint32((leaf - firstChunk) / chunkSize), damaged.data() + leaf + 0x10);
    EXPECT_EQ(openError(damaged), notHelp());
}

TEST_F(DamagedHelp, FreeSpaceLargerThanTheChunkIsRefused)
{
    // chmlib would scan entries from before the chunk's start.
    QByteArray damaged = bytes;
    qToLittleEndian(quint32(chunkSize + 100), damaged.data() + leaf + 4);
    EXPECT_EQ(openError(damaged), notHelp());
}

TEST_F(DamagedHelp, HugeChunkSizeIsRefused)
{
    // chmlib keeps one chunk in a stack array of this size.
    QByteArray damaged = bytes;
    qToLittleEndian(quint32(1) << 30, damaged.data() + dirOffset + 0x10);
    EXPECT_EQ(openError(damaged), notHelp());
}

} // namespace

TEST(CollectionLine, FieldsKeepALeadingZeroWidthNoBreakSpace)
{
    CollectionEntry e;
    ASSERT_TRUE(parseCollectionLine("\xEF\xBB\xBF"
                                    "a.jpg^\xEF\xBB\xBF\xEF\xBB\xBF"
                                    "note^",
                                    e));
    EXPECT_EQ(e.FileName, QString(QChar(0xFEFF)) + "a.jpg");
    EXPECT_EQ(e.Comment, QString(QChar(0xFEFF)) + QChar(0xFEFF) + "note");
}
