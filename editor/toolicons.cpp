#include "editor/toolicons.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

const QColor ink(0x30, 0x30, 0x30);

void letter(QPainter &p, const QString &text, bool bold, bool italic, const QColor &colour = ink)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(15);
    f.setBold(bold);
    f.setItalic(italic);
    p.setFont(f);
    p.setPen(colour);
    p.drawText(QRect(0, -1, 20, 18), Qt::AlignCenter, text);
}

// Four text lines; widths per line give the alignment.
void lines(QPainter &p, int left, const int (&x)[4], const int (&w)[4])
{
    p.setPen(QPen(ink, 2));
    for (int i = 0; i < 4; ++i)
        p.drawLine(left + x[i], 4 + i * 4, left + x[i] + w[i], 4 + i * 4);
}

void arrow(QPainter &p, bool right)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1E, 0x6F, 0xC8));
    const QPolygon tri = right ? QPolygon({QPoint(2, 6), QPoint(7, 10), QPoint(2, 14)})
                               : QPolygon({QPoint(7, 6), QPoint(2, 10), QPoint(7, 14)});
    p.drawPolygon(tri);
}

void chain(QPainter &p, bool broken)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x1E, 0x6F, 0xC8), 2));
    if (broken) {
        p.drawRoundedRect(QRectF(1.5, 7.5, 7, 6), 3, 3);
        p.drawRoundedRect(QRectF(11.5, 7.5, 7, 6), 3, 3);
        p.setPen(QPen(QColor(0xD0, 0x20, 0x20), 2));
        p.drawLine(8, 3, 12, 17);
    } else {
        p.drawRoundedRect(QRectF(1.5, 7.5, 10, 6), 3, 3);
        p.drawRoundedRect(QRectF(8.5, 7.5, 10, 6), 3, 3);
    }
}

void draw(QPainter &p, int n)
{
    static const int full[4] = {0, 0, 0, 0};
    switch (n) {
    case 1: letter(p, QStringLiteral("B"), true, false); break;
    case 2: letter(p, QStringLiteral("I"), false, true); break;
    case 3:
        letter(p, QStringLiteral("U"), false, false);
        p.setPen(QPen(ink, 1.5));
        p.drawLine(5, 18, 15, 18);
        break;
    case 4:
        letter(p, QStringLiteral("S"), false, false);
        p.setPen(QPen(QColor(0xD0, 0x20, 0x20), 1.5));
        p.drawLine(3, 10, 17, 10);
        break;
    case 5:
        letter(p, QStringLiteral("A"), true, false);
        p.fillRect(QRect(3, 16, 14, 3), QColor(0xE0, 0x10, 0x10));
        break;
    case 6:
        p.fillRect(QRect(2, 2, 16, 13), QColor(0xFF, 0xE8, 0x30));
        letter(p, QStringLiteral("A"), true, false);
        p.fillRect(QRect(3, 16, 14, 3), QColor(0xFF, 0xC8, 0x00));
        break;
    case 7: lines(p, 2, full, {16, 10, 14, 8}); break;
    case 8: lines(p, 2, {0, 3, 1, 4}, {16, 10, 14, 8}); break;
    case 9: lines(p, 2, {0, 6, 2, 8}, {16, 10, 14, 8}); break;
    case 10: lines(p, 2, full, {16, 16, 16, 16}); break;
    case 11:
    case 12: {
        lines(p, 7, full, {11, 11, 11, 11});
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(6);
        p.setFont(f);
        p.setPen(ink);
        for (int i = 0; i < 3; ++i) {
            const QRect cell(0, 2 + i * 6, 6, 6);
            if (n == 11)
                p.drawText(cell, Qt::AlignCenter, QString::number(i + 1));
            else
                p.fillRect(QRect(2, 4 + i * 6, 3, 3), ink);
        }
        break;
    }
    case 13:
        p.setPen(QPen(ink, 1));
        p.setBrush(QColor(0xDD, 0xEE, 0xFF));
        p.drawRect(QRectF(1.5, 3.5, 17, 13));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x3A, 0x9A, 0x3A));
        p.drawPolygon(QPolygon({QPoint(2, 16), QPoint(8, 8), QPoint(12, 13), QPoint(14, 11), QPoint(18, 16)}));
        p.setBrush(QColor(0xF0, 0xA0, 0x00));
        p.drawEllipse(QPointF(14, 7), 2, 2);
        break;
    case 14: chain(p, false); break;
    case 15: chain(p, true); break;
    case 16:
        letter(p, QStringLiteral("A"), false, false);
        p.setPen(QPen(QColor(0xD0, 0x20, 0x20), 2));
        p.drawLine(3, 17, 17, 3);
        break;
    case 17:
    case 18:
        lines(p, 0, {2, 9, 9, 2}, {16, 9, 9, 16});
        arrow(p, n == 17);
        break;
    case 19:
        p.setPen(QPen(ink, 1));
        p.setBrush(QColor(0xC8, 0x96, 0x5A));
        p.drawRoundedRect(QRectF(2.5, 2.5, 15, 16), 2, 2);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(5.5, 5.5, 9, 11));
        p.setBrush(QColor(0x90, 0x90, 0x90));
        p.drawRect(QRectF(7.5, 1.5, 5, 3));
        {
            QFont f(QStringLiteral("DejaVu Sans"));
            f.setPixelSize(9);
            f.setBold(true);
            p.setFont(f);
            p.drawText(QRect(5, 6, 10, 10), Qt::AlignCenter, QStringLiteral("T"));
        }
        break;
    default: break;
    }
}

} // namespace

QIcon toolIcon(int n)
{
    QPixmap pm(20, 20);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    draw(p, n);
    p.end();
    return QIcon(pm);
}
