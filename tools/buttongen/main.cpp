// quillmere-buttongen: draws the ten page-button pictures the main window loads at every page
// switch ("button1D.bmp" .. "button6U.bmp") into the folder given on the command line. The
// build runs it so the pictures stand beside the program without binaries in the sources.

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QString>

#include <cstdio>

namespace {

constexpr int PictureWidth = 112;
constexpr int PictureHeight = 41;

struct PageButton
{
    int number;
    const char* caption;
};

// Numbered as the main window's buttons are: 6 is the bar chart page, added after the others.
constexpr PageButton Buttons[] = {
    {1, "Monitor"}, {2, "Chart"}, {6, "Bar Chart"}, {3, "Alarm"}, {4, "Recipe"},
};

QFont captionFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(15);
    font.setBold(true);
    return font;
}

// "U" is the raised button of a page not on view, "D" the pressed one of the current page.
QImage drawButton(const QString& caption, bool pressed)
{
    QImage image(PictureWidth, PictureHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    const QRect all = image.rect();

    QLinearGradient face(0, 0, 0, PictureHeight);
    if (pressed) {
        face.setColorAt(0, QColor(70, 110, 170));
        face.setColorAt(1, QColor(40, 75, 130));
    } else {
        face.setColorAt(0, QColor(236, 240, 248));
        face.setColorAt(1, QColor(186, 198, 220));
    }
    painter.fillRect(all, face);

    // Two-pixel bevel: light above and left when raised, the other way round when pressed.
    const QColor light = pressed ? QColor(20, 40, 80) : QColor(255, 255, 255);
    const QColor dark = pressed ? QColor(150, 175, 215) : QColor(90, 100, 120);
    for (int i = 0; i < 2; ++i) {
        const QRect r = all.adjusted(i, i, -1 - i, -1 - i);
        painter.setPen(light);
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(dark);
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
    }
    painter.setPen(Qt::black);
    painter.drawRect(all.adjusted(0, 0, -1, -1));

    // The pressed caption moves down and right by a pixel, as a pushed key does.
    painter.setFont(captionFont());
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(pressed ? QColor(Qt::white) : QColor(20, 30, 60));
    const QRect textRect = pressed ? all.translated(1, 1) : all;
    painter.drawText(textRect, Qt::AlignCenter, caption);
    painter.end();
    return image;
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: quillmere-buttongen <output folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.exists() && !QDir().mkpath(folder.path())) {
        std::fprintf(stderr, "quillmere-buttongen: cannot create %s\n", argv[1]);
        return 1;
    }
    for (const PageButton& button : Buttons) {
        for (const bool pressed : {true, false}) {
            const QString name = QStringLiteral("button%1%2.bmp")
                                     .arg(button.number)
                                     .arg(QLatin1Char(pressed ? 'D' : 'U'));
            const QString path = folder.filePath(name);
            if (!drawButton(QString::fromLatin1(button.caption), pressed).save(path, "BMP")) {
                std::fprintf(stderr, "quillmere-buttongen: cannot write %s\n",
                             qPrintable(QDir::toNativeSeparators(path)));
                return 1;
            }
        }
    }
    return 0;
}
