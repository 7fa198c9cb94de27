// The picture information's values as the panel shows them, from the
// forms the loader gives them in.
#include "viewer/PictureInfo.h"

#include <gtest/gtest.h>

namespace {

struct Shown {
    const char* name;
    QString (*show)(const QString&, const QString&, const QString&);
    const char* a;
    const char* b;
    const char* c;
    const char* expected;
};

const InfoWords Words;

// clang-format off
const Shown ShownCases[] = {
    {"ShortExposure", [](auto& a, auto&, auto&) { return exposureText(a); }, "1/75", "", "", "1/75 s"},
    {"ExposureAsARatio", [](auto& a, auto&, auto&) { return exposureText(a); }, "10/3910", "", "", "1/391 s"},
    {"LongExposure", [](auto& a, auto&, auto&) { return exposureText(a); }, "13/10", "", "", "1.3 s"},
    {"ExposureOverZero", [](auto& a, auto&, auto&) { return exposureText(a); }, "1/0", "", "", ""},
    {"Aperture", [](auto& a, auto&, auto&) { return apertureText(a); }, "59/10", "", "", "f/5.9"},
    {"WholeAperture", [](auto& a, auto&, auto&) { return apertureText(a); }, "4/1", "", "", "f/4"},
    {"FocalLengthWith35mm", [](auto& a, auto& b, auto&) { return focalLengthText(a, b); }, "240/10", "112", "", "24 mm (35 mm: 112 mm)"},
    {"FocalLengthAlone", [](auto& a, auto& b, auto&) { return focalLengthText(a, b); }, "173/16", "", "", "10.81 mm"},
    {"PositionNorthEast", positionText, "43.4674483333", "11.8851266667", "", "43.467448° N, 11.885127° E"},
    {"PositionSouthWestHigh", positionText, "-39.0513444444", "-94.2887722222", "260.5606", "39.051344° S, 94.288772° W, 261 m"},
    {"PositionOffTheGlobe", positionText, "91", "0", "", ""},
    {"Date", [](auto& a, auto&, auto&) { return dateTakenText(a); }, "2008:10:22 16:28:39", "", "", "2008-10-22 16:28:39"},
    {"ModelNamesItsMaker", [](auto& a, auto& b, auto&) { return cameraText(a, b); }, "Canon", "Canon DIGITAL IXUS", "", "Canon DIGITAL IXUS"},
    {"MakerAndModel", [](auto& a, auto& b, auto&) { return cameraText(a, b); }, "NIKON", "COOLPIX P6000", "", "NIKON COOLPIX P6000"},
    {"FlashOff", [](auto& a, auto&, auto&) { return flashText(a, Words); }, "16", "", "", "Did not fire"},
    {"FlashFired", [](auto& a, auto&, auto&) { return flashText(a, Words); }, "9", "", "", "Fired"},
    {"TurnedRight", [](auto& a, auto&, auto&) { return orientationText(a, Words); }, "6", "", "", "6 (90° ↻)"},
    {"Mirrored", [](auto& a, auto&, auto&) { return orientationText(a, Words); }, "2", "", "", "2 (0°, mirrored)"},
    {"NoOrientation", [](auto& a, auto&, auto&) { return orientationText(a, Words); }, "9", "", "", ""},
};
// clang-format on

class InfoValueShown : public ::testing::TestWithParam<Shown> {};

TEST_P(InfoValueShown, AsThePanelShowsIt)
{
    const Shown& s = GetParam();
    EXPECT_EQ(s.show(QString::fromUtf8(s.a), QString::fromUtf8(s.b), QString::fromUtf8(s.c)),
              QString::fromUtf8(s.expected));
}

INSTANTIATE_TEST_SUITE_P(Values, InfoValueShown, ::testing::ValuesIn(ShownCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Values the file lacks stay empty; the comment falls back on the file's
// description; the map link is there only with a position.
TEST(PictureInfoTexts, LeaveOutWhatTheFileLacks)
{
    PictureInfo info;
    info.path = QStringLiteral("/photos/a.jpg");
    info.fileSize = 2048;
    info.format = PictureFormat::Jpeg;
    info.size = QSize(640, 480);
    info.values = {{"Model", QStringLiteral("X100")}, {"Description", QStringLiteral("At the lake")}};
    auto t = pictureInfoTexts(info, QString());
    EXPECT_EQ(t[std::size_t(InfoField::Folder)], QStringLiteral("/photos"));
    EXPECT_EQ(t[std::size_t(InfoField::Kind)], QStringLiteral("JPEG"));
    EXPECT_EQ(t[std::size_t(InfoField::PixelSize)], QStringLiteral("640 × 480"));
    EXPECT_EQ(t[std::size_t(InfoField::Camera)], QStringLiteral("X100"));
    EXPECT_EQ(t[std::size_t(InfoField::Comment)], QStringLiteral("At the lake"));
    for (InfoField f : {InfoField::DateTaken, InfoField::Exposure, InfoField::Position, InfoField::Flash})
        EXPECT_TRUE(t[std::size_t(f)].isEmpty()) << int(f);
    EXPECT_EQ(pictureInfoTexts(info, QStringLiteral("Ours"))[std::size_t(InfoField::Comment)], "Ours");
    EXPECT_FALSE(pictureMapLink(info));
    info.values.insert("Latitude", QStringLiteral("-39.5"));
    info.values.insert("Longitude", QStringLiteral("11.25"));
    EXPECT_EQ(pictureMapLink(info), QUrl(QStringLiteral("geo:-39.5000000,11.2500000")));
}

} // namespace
