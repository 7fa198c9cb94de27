// Draws the program's icon from its SVG at the hicolor sizes:
// render_icon SVG OUTDIR SIZE... writes OUTDIR/<N>x<N>/apps/pictavo.png.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>

#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: render_icon SVG OUTDIR SIZE...\n");
        return 2;
    }
    for (int i = 3; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        QImageReader reader(QString::fromLocal8Bit(argv[1]));
        reader.setScaledSize(QSize(size, size));
        const QImage image = reader.read();
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[2])).arg(size);
        if (image.isNull() || !QDir().mkpath(folder) || !image.save(folder + QStringLiteral("/pictavo.png"))) {
            std::fprintf(stderr, "render_icon: cannot draw %s at %d pixels: %s\n", argv[1], size,
                         reader.errorString().toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
