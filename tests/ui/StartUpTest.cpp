// The start leaves out what the first picture doesn't need: Qt's image
// plugins load only once a kind of picture asks for one, while the style's
// icons still look as the desktop's style draws them. Runs under the
// program's own application object, which sets the style and window icon.
#include "app/Application.h"
#include "tests/support/FileBytes.h"
#include "tests/ui/AppFixture.h"

#include <QProxyStyle>
#include <QStyleFactory>

namespace {

bool loaded(const char* library)
{
    return fileBytes(QStringLiteral("/proc/self/maps")).contains(library);
}

bool imagePluginLoaded()
{
    return loaded("/imageformats/");
}

} // namespace

using StartUp = AppFixture;

// First in the file: a test run before it in the same process may load them.
TEST_F(StartUp, ShowsJpegsBmpsAndHeifWithoutImagePluginsOrLibheifAndFillsTheThumbnailCache)
{
    openPath(collectionOf(3));
    ASSERT_TRUE(shows(1));
    const QString cache = qEnvironmentVariable("XDG_CACHE_HOME") + QStringLiteral("/thumbnails/large");
    EXPECT_FALSE(QDir(cache).entryList(QDir::Files).isEmpty()) << "no thumbnail was written";
    EXPECT_FALSE(imagePluginLoaded());
    mainWindow()->grab(); // a frame with every tool bar icon and the menu bar
    EXPECT_FALSE(imagePluginLoaded());
    EXPECT_FALSE(loaded("/libheif.so"));

    // HEIF and AVIF need libheif, which the loaders map: never this process.
    openFiles({QStringLiteral(PV_CORPUS_DIR "/camera/IMG_5195.HEIC")});
    ASSERT_TRUE(shows(1));
    EXPECT_TRUE(mainWindow()->mainImage()->reason().isEmpty())
        << mainWindow()->mainImage()->reason().toStdString();
    EXPECT_FALSE(mainWindow()->mainImage()->picture().isEmpty());
    EXPECT_FALSE(loaded("/libheif.so"));
}

TEST(StartUpStyle, StandardIconsDrawAsTheDesktopStylesOwn)
{
    const auto* proxy = qobject_cast<const QProxyStyle*>(QApplication::style());
    ASSERT_NE(proxy, nullptr);
    std::unique_ptr<QStyle> plain(QStyleFactory::create(proxy->baseStyle()->name()));
    ASSERT_NE(plain, nullptr);
    for (QStyle::StandardPixmap icon :
         {QStyle::SP_ToolBarHorizontalExtensionButton, QStyle::SP_ToolBarVerticalExtensionButton,
          QStyle::SP_MessageBoxWarning, QStyle::SP_DialogOkButton, QStyle::SP_ArrowUp}) {
        SCOPED_TRACE(int(icon));
        const QIcon deferred = QApplication::style()->standardIcon(icon);
        const QIcon own = plain->standardIcon(icon);
        ASSERT_EQ(deferred.isNull(), own.isNull());
        EXPECT_EQ(deferred.availableSizes(), own.availableSizes());
        for (int size : {16, 32})
            EXPECT_EQ(deferred.pixmap(size).toImage(), own.pixmap(size).toImage()) << size;
    }
    EXPECT_TRUE(imagePluginLoaded()) << "the icons were drawn without the plugins that read them";
}

int main(int argc, char** argv)
{
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    PictavoApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
