// Draws the avatar bitmaps the program shows beside driver names: one per avatar number the
// statistics service hands out. Shapes only, so no font or display is needed at build time.
#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

QImage drawAvatar(int number, int count)
{
    constexpr int size = 32;
    QImage image(size, size, QImage::Format_RGB32);
    const int hue = (number - 1) * 360 / count;
    image.fill(QColor::fromHsv((hue + 180) % 360, 40, 70));

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor shell = QColor::fromHsv(hue, 200, 235);

    // A racing helmet seen from the side: the shell, a visor, and 1 to 3 stripes.
    QPainterPath helmet;
    helmet.moveTo(5, 24);
    helmet.cubicTo(3, 10, 12, 4, 19, 4);
    helmet.cubicTo(27, 4, 29, 13, 29, 18);
    helmet.lineTo(29, 26);
    helmet.lineTo(5, 26);
    helmet.closeSubpath();
    painter.fillPath(helmet, shell);
    painter.setPen(QPen(shell.darker(170), 1));
    painter.drawPath(helmet);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(25, 30, 40));
    painter.drawRoundedRect(QRectF(16, 12, 13, 7), 2, 2);

    painter.setBrush(QColor::fromHsv((hue + 120) % 360, 90, 255));
    const int stripes = 1 + (number - 1) * 3 / count;
    for (int s = 0; s < stripes; ++s)
        painter.drawRect(QRectF(7 + s * 4, 8 + s, 2, 16 - s));

    painter.setBrush(QColor(20, 20, 20));
    painter.drawRect(QRectF(3, 26, 27, 3));
    painter.end();
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make-avatars <output folder> <count>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int count = QString::fromLocal8Bit(argv[2]).toInt();
    if (count < 1 || !QDir().mkpath(folder)) {
        std::fprintf(stderr, "make-avatars: cannot write %d avatars to %s\n", count, argv[1]);
        return 1;
    }
    for (int n = 1; n <= count; ++n) {
        const QString file = QDir(folder).filePath(QString::number(n) + QStringLiteral(".bmp"));
        if (!drawAvatar(n, count).save(file, "BMP")) {
            std::fprintf(stderr, "make-avatars: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
