#include "CameraGrid.h"

#include <QFont>
#include <QPainter>

#include <algorithm>

namespace quello {

namespace {

constexpr int kMostViews = 6;

int Columns(int views) {
    return views <= 1 ? 1 : views <= 4 ? 2 : 3;
}

} // namespace

QImage ComposeCameraGrid(const std::vector<QImage>& views) {
    const int count = int(views.size());
    if (count == 0 || count > kMostViews || views.front().isNull())
        return {};
    const QSize main = views.front().size();
    const int columns = Columns(count);
    const int rows = (count + columns - 1) / columns;
    const int cellWidth = std::max(1, main.width() / columns);
    const int cellHeight = std::max(
        1, int((std::int64_t(main.height()) * cellWidth + main.width() / 2) / main.width()));

    QImage grid(cellWidth * columns, cellHeight * rows, QImage::Format_RGB32);
    grid.fill(Qt::black);
    QPainter painter(&grid);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QFont font = painter.font();
    font.setPixelSize(std::max(8, cellHeight / 10));
    painter.setFont(font);
    painter.setPen(Qt::white);
    for (int i = 0; i < count; ++i) {
        const QRect cell((i % columns) * cellWidth, (i / columns) * cellHeight, cellWidth,
                         cellHeight);
        const QImage& view = views[std::size_t(i)];
        if (view.isNull()) {
            painter.drawText(cell, Qt::AlignCenter, QStringLiteral("No picture"));
            continue;
        }
        QSize fitted = view.size().scaled(cell.size(), Qt::KeepAspectRatio);
        fitted = fitted.expandedTo(QSize(1, 1));
        const QRect target(cell.x() + (cell.width() - fitted.width()) / 2,
                           cell.y() + (cell.height() - fitted.height()) / 2, fitted.width(),
                           fitted.height());
        painter.drawImage(target, view);
    }
    painter.end();
    return grid;
}

} // namespace quello
