#include "tools/ContactSheet.h"

#include <QPainter>

#include <algorithm>

namespace lmvo {

namespace {

constexpr int Columns = 10;
constexpr int CellWidth = 192;
constexpr int Gap = 6;

void drawLabel(QPainter& p, const QRect& cell, int style)
{
    const QString text = QString::number(style);
    QFont font = p.font();
    font.setPixelSize(14);
    font.setBold(true);
    p.setFont(font);
    const QRect box(cell.left(), cell.top(), p.fontMetrics().horizontalAdvance(text) + 8, 18);
    p.fillRect(box, QColor(0, 0, 0, 170));
    p.setPen(Qt::white);
    p.drawText(box, Qt::AlignCenter, text);
}

} // namespace

QImage contactSheet(int lastStyle, const std::function<QImage(int style)>& frameOf)
{
    QImage sheet;
    QPainter p;
    int cellHeight = 0;
    for (int style = 1; style <= lastStyle; ++style) {
        const QImage frame = frameOf(style);
        if (sheet.isNull()) {
            // The first frame fixes the thumbnails' aspect ratio and so the sheet's size.
            cellHeight = std::max(1, CellWidth * std::max(frame.height(), 1) / std::max(frame.width(), 1));
            const int rows = (lastStyle + Columns - 1) / Columns;
            sheet = QImage(Gap + Columns * (CellWidth + Gap), Gap + rows * (cellHeight + Gap), QImage::Format_RGB32);
            sheet.fill(QColor(40, 40, 40));
            p.begin(&sheet);
            p.setRenderHint(QPainter::SmoothPixmapTransform);
        }
        const int i = style - 1;
        const QRect cell(Gap + (i % Columns) * (CellWidth + Gap), Gap + (i / Columns) * (cellHeight + Gap), CellWidth,
                         cellHeight);
        if (!frame.isNull())
            p.drawImage(cell, frame);
        drawLabel(p, cell, style);
    }
    return sheet;
}

} // namespace lmvo
