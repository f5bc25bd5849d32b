#include "ArtPainting.h"

#include <QPainter>
#include <QSvgRenderer>

namespace quello {

QImage RenderSvg(const QString& resourcePath, QSize size) {
    QSvgRenderer renderer(resourcePath);
    if (!renderer.isValid() || size.isEmpty())
        return {};
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    renderer.render(&p, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

QImage TintedIcon(const QString& iconName, QSize size, QColor colour) {
    QImage icon = RenderSvg(QStringLiteral(":/skin/svg/icons/%1.svg").arg(iconName), size);
    if (icon.isNull())
        return icon;
    QPainter p(&icon);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(icon.rect(), colour);
    return icon;
}

QImage MatteToKey(const QImage& art, QColor matte) {
    const QImage src = art.convertToFormat(QImage::Format_ARGB32);
    QImage out(src.size(), QImage::Format_RGB32);
    for (int y = 0; y < src.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        QRgb* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < src.width(); ++x) {
            const int a = qAlpha(in[x]);
            if (a < 128) {
                dst[x] = kSkinKey;
                continue;
            }
            auto mix = [a](int fg, int bg) { return (fg * a + bg * (255 - a) + 127) / 255; };
            QRgb c = qRgb(mix(qRed(in[x]), matte.red()), mix(qGreen(in[x]), matte.green()),
                          mix(qBlue(in[x]), matte.blue()));
            if (c == kSkinKey)
                c = qRgb(254, 0, 255);
            dst[x] = c;
        }
    }
    return out;
}

} // namespace quello
