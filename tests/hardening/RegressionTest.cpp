// The help file the build compiles, damaged one field at a time: chmlib
// would loop over, read before or allocate what the damaged field says.
// (The fuzzers' findings in regressions/ run in FuzzReplayTest.)
#include "help/ChmFile.h"
#include "help/HelpRules.h"
#include "tests/support/ErrorText.h"
#include "tests/support/FileBytes.h"
#include "tests/support/Printers.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

enum class Damage { LeafChunkNamesItselfAsNext, FreeSpaceLargerThanTheChunk, HugeChunkSize };

class DamagedHelp : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedHelp, IsRefusedAsNoHelpFile)
{
    QByteArray bytes = fileBytes(help::localHelpPath(help::kFixedHelpPath, PV_BINARY_DIR));
    ASSERT_GT(bytes.size(), 0x100);
    const auto directory = qsizetype(qFromLittleEndian<quint64>(bytes.constData() + 0x48));
    const quint32 chunkSize = qFromLittleEndian<quint32>(bytes.constData() + directory + 0x10);
    const qsizetype leaf = bytes.indexOf("PMGL", directory + 0x54);
    ASSERT_GT(leaf, 0);
    switch (GetParam()) {
    case Damage::LeafChunkNamesItselfAsNext:
        qToLittleEndian(qint32((leaf - directory - 0x54) / chunkSize), bytes.data() + leaf + 0x10);
        break;
    case Damage::FreeSpaceLargerThanTheChunk: qToLittleEndian(chunkSize + 100, bytes.data() + leaf + 4); break;
    case Damage::HugeChunkSize: qToLittleEndian(quint32(1) << 30, bytes.data() + directory + 0x10); break;
    }
    QTemporaryDir dir;
    const QString damaged = dir.filePath("damaged.chm");
    ASSERT_TRUE(putBytes(damaged, bytes));
    EXPECT_EQ(errorText([&] { ChmFile(damaged).objects(); }),
              QString("Cannot open file \"%1\". Not a compiled HTML help file").arg(damaged));
}

INSTANTIATE_TEST_SUITE_P(Fields, DamagedHelp,
                         ::testing::Values(Damage::LeafChunkNamesItselfAsNext, Damage::FreeSpaceLargerThanTheChunk,
                                           Damage::HugeChunkSize));

} // namespace
