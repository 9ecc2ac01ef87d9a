#include "app/dieface.h"

#include <algorithm>
#include <cmath>

#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>

namespace {

// Colours that stay apart for colour-blind eyes: a blue frame against grey.
const QColor FaceColor(0xFF, 0xFF, 0xFF);
const QColor KeptFaceColor(0xD4, 0xE9, 0xF7);
const QColor EdgeColor(0x55, 0x55, 0x55);
const QColor KeptEdgeColor(0x00, 0x72, 0xB2);
const QColor PipColor(0x1A, 0x1A, 0x1A);
const QColor EmptyEdgeColor(0xA0, 0xA0, 0xA0);

// A length in whole device pixels (at least one), so edges fall on pixel boundaries at any scale.
qreal Snap(qreal logical, qreal dpr) {
    return std::max<qreal>(1.0, std::round(logical * dpr)) / dpr;
}

}  // namespace

TDieFace::TDieFace(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
}

void TDieFace::SetKept(bool k) {
    if (kept == k) return;
    kept = k;
    update();
}

int TDieFace::Value() const {
    bool ok = false;
    const int v = text().trimmed().toInt(&ok);
    return ok && v >= 1 && v <= 6 ? v : 0;
}

std::vector<QPointF> TDieFace::Pips(int value) {
    const qreal lo = 0.25, mid = 0.5, hi = 0.75;
    switch (value) {
    case 1: return {{mid, mid}};
    case 2: return {{hi, lo}, {lo, hi}};
    case 3: return {{hi, lo}, {mid, mid}, {lo, hi}};
    case 4: return {{lo, lo}, {hi, lo}, {lo, hi}, {hi, hi}};
    case 5: return {{lo, lo}, {hi, lo}, {mid, mid}, {lo, hi}, {hi, hi}};
    case 6: return {{lo, lo}, {hi, lo}, {lo, mid}, {hi, mid}, {lo, hi}, {hi, hi}};
    default: return {};
    }
}

void TDieFace::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // The scale of what is painted on: the screen's, or an image's when the face is rendered.
    const QPaintDevice* target = p.paintEngine() ? p.paintEngine()->paintDevice() : nullptr;
    const qreal dpr = target ? target->devicePixelRatioF() : devicePixelRatioF();

    const int value = Value();
    const qreal edge = Snap(kept ? 3.0 : 1.0, dpr);
    const qreal side = std::min(width(), height());
    QRectF face((width() - side) / 2, (height() - side) / 2, side, side);
    face.adjust(edge / 2, edge / 2, -edge / 2, -edge / 2);   // the stroke lies inside the widget
    const qreal corner = side * 0.18;

    QPen pen(value ? (kept ? KeptEdgeColor : EdgeColor) : EmptyEdgeColor, edge);
    if (!value) pen.setStyle(Qt::DashLine);
    p.setPen(pen);
    p.setBrush(kept ? KeptFaceColor : FaceColor);
    p.drawRoundedRect(face, corner, corner);

    p.setPen(Qt::NoPen);
    p.setBrush(PipColor);
    const qreal r = side * 0.095;
    for (const QPointF& pip : Pips(value))
        p.drawEllipse(QPointF(face.left() + pip.x() * face.width(),
                              face.top() + pip.y() * face.height()),
                      r, r);
}

void TDieFace::mousePressEvent(QMouseEvent* ev) {
    if (ev->button() == Qt::LeftButton) emit Clicked();
    ev->accept();   // no selection in a die
}

void TDieFace::mouseDoubleClickEvent(QMouseEvent* ev) {
    mousePressEvent(ev);
}
