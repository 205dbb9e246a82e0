#include "app/images.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QSvgRenderer>
#include <functional>
#include <memory>

namespace sornafex {

namespace {

// Every picture is drawn in a 16 x 16 design grid; the engine scales it to the target.
using TPaintGlyph = std::function<void(QPainter&)>;

class TGlyphIconEngine final : public QIconEngine {
public:
    explicit TGlyphIconEngine(TPaintGlyph paint) : m_paint(std::move(paint)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / 16.0, rect.height() / 16.0);
        if (mode == QIcon::Disabled)
            painter->setOpacity(0.35);
        m_paint(*painter);
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        QPixmap pixmap(size * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }

    QIconEngine* clone() const override { return new TGlyphIconEngine(m_paint); }

private:
    TPaintGlyph m_paint;
};

const QColor kOutline(40, 40, 40);

void Page(QPainter& p, QPointF origin) {
    QPainterPath path;
    path.moveTo(origin + QPointF(0, 0));
    path.lineTo(origin + QPointF(7, 0));
    path.lineTo(origin + QPointF(10, 3));
    path.lineTo(origin + QPointF(10, 13));
    path.lineTo(origin + QPointF(0, 13));
    path.closeSubpath();
    p.setPen(QPen(kOutline, 1));
    p.setBrush(Qt::white);
    p.drawPath(path);
    p.drawPolyline(
        QPolygonF{origin + QPointF(7, 0), origin + QPointF(7, 3), origin + QPointF(10, 3)});
}

void BlankPage(QPainter& p) {
    Page(p, {3.5, 1.5});
}

void TwoPages(QPainter& p) {
    Page(p, {1.5, 0.5});
    Page(p, {5.5, 2.5});
}

void OpenFolder(QPainter& p) {
    p.setPen(QPen(kOutline, 1));
    p.setBrush(QColor(230, 190, 80));
    p.drawPolygon(
        QPolygonF{{0.5, 4.5}, {5.5, 4.5}, {6.5, 5.5}, {11.5, 5.5}, {11.5, 14.5}, {0.5, 14.5}});
    p.setBrush(QColor(250, 215, 110));
    p.drawPolygon(QPolygonF{{2.5, 8.5}, {15.5, 8.5}, {12.5, 14.5}, {0.5, 14.5}});
    // The green arrow coming out of the folder.
    p.setPen(QPen(QColor(0, 120, 0), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath arc;
    arc.moveTo(7, 6);
    arc.quadTo(8, 1.5, 13, 2.5);
    p.drawPath(arc);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 150, 0));
    p.drawPolygon(QPolygonF{{15.5, 3}, {11.5, 0}, {11.5, 5.5}});
}

void Floppy(QPainter& p) {
    p.setPen(QPen(kOutline, 1));
    p.setBrush(QColor(40, 60, 140));
    p.drawPolygon(QPolygonF{{1.5, 1.5}, {13.5, 1.5}, {14.5, 2.5}, {14.5, 14.5}, {1.5, 14.5}});
    p.setBrush(QColor(220, 220, 220));
    p.drawRect(QRectF(4.5, 1.5, 7, 5));
    p.setBrush(QColor(40, 60, 140));
    p.drawRect(QRectF(9, 2.5, 1.5, 3));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 9.5, 9, 5));
}

void Printer(QPainter& p) {
    p.setPen(QPen(kOutline, 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 1.5, 7, 5));
    p.setBrush(QColor(190, 190, 190));
    p.drawRect(QRectF(1.5, 6.5, 13, 6));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 10.5, 7, 4.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 170, 0));
    p.drawRect(QRectF(11.5, 8, 1.5, 1.5));
}

void PlayTriangle(QPainter& p) {
    p.setPen(QPen(QColor(0, 90, 0), 1));
    p.setBrush(QColor(0, 176, 0));
    p.drawPolygon(QPolygonF{{3.5, 1.5}, {14.5, 8}, {3.5, 14.5}});
}

void StopDisc(QPainter& p) {
    p.setPen(QPen(QColor(130, 0, 0), 1));
    p.setBrush(QColor(215, 0, 0));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
    p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
}

void ExitDoor(QPainter& p) {
    p.setPen(QPen(kOutline, 1));
    p.setBrush(QColor(150, 95, 45));
    p.drawRect(QRectF(1.5, 1.5, 8, 13));
    p.setBrush(QColor(240, 200, 60));
    p.drawEllipse(QRectF(7, 7.5, 1.5, 1.5));
    // The red arrow leaving through the door.
    p.setPen(QPen(QColor(210, 0, 0), 2, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(8, 8), QPointF(12.5, 8));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(210, 0, 0));
    p.drawPolygon(QPolygonF{{15.5, 8}, {12, 4.5}, {12, 11.5}});
}

// A red flag on its pole: a question marked during a run.
void Flag(QPainter& p) {
    p.setPen(QPen(kOutline, 1.2, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(3.5, 1), QPointF(3.5, 15));
    p.setPen(QPen(QColor(130, 0, 0), 1));
    p.setBrush(QColor(220, 0, 0));
    QPainterPath cloth;
    cloth.moveTo(4, 1.5);
    cloth.cubicTo(7, 0, 9, 3.5, 14.5, 2);
    cloth.lineTo(14.5, 8.5);
    cloth.cubicTo(9, 10, 7, 6.5, 4, 8);
    cloth.closeSubpath();
    p.drawPath(cloth);
}

} // namespace

QIcon ImageListIcon(TImage image) {
    switch (image) {
    case TImage::BlankPage:
        return QIcon(new TGlyphIconEngine(BlankPage));
    case TImage::OpenFolder:
        return QIcon(new TGlyphIconEngine(OpenFolder));
    case TImage::Floppy:
        return QIcon(new TGlyphIconEngine(Floppy));
    case TImage::Printer:
        return QIcon(new TGlyphIconEngine(Printer));
    case TImage::TwoPages:
        return QIcon(new TGlyphIconEngine(TwoPages));
    case TImage::PlayTriangle:
        return QIcon(new TGlyphIconEngine(PlayTriangle));
    case TImage::StopDisc:
        return QIcon(new TGlyphIconEngine(StopDisc));
    case TImage::ExitDoor:
        return QIcon(new TGlyphIconEngine(ExitDoor));
    case TImage::Flag:
        return QIcon(new TGlyphIconEngine(Flag));
    }
    return {};
}

QIcon ApplicationIcon() {
    // The picture the desktop shows for the program (app/install/sornafex.svg), so that the
    // window, its menu entry and the about box show one icon.
    auto renderer = std::make_shared<QSvgRenderer>(QStringLiteral(":/sornafex/sornafex.svg"));
    return QIcon(new TGlyphIconEngine(
        [renderer](QPainter& p) { renderer->render(&p, QRectF(0, 0, 16, 16)); }));
}

} // namespace sornafex
