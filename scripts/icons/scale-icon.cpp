// Writes the application icon at one size for the icon theme: scale-icon <source.png> <size> <out.png>.
// Run by the build for each size the hicolor theme is installed with.

#include <QImage>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: scale-icon <source.png> <size> <out.png>\n");
        return 2;
    }
    const QImage source(QString::fromLocal8Bit(argv[1]));
    const int size = std::atoi(argv[2]);
    if (source.isNull() || size <= 0) {
        std::fprintf(stderr, "scale-icon: cannot read %s or bad size %s\n", argv[1], argv[2]);
        return 1;
    }
    const QImage scaled = source.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return scaled.save(QString::fromLocal8Bit(argv[3]), "PNG") ? 0 : 1;
}
