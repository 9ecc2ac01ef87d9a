// One die of the dice set, painted as a face with pips. It stays a read-only line edit holding
// the value as text (" 5", empty before the first roll), so hints, screen readers and tests read
// the value as before; only its look is a die. A kept die is tinted and framed in blue.
#pragma once

#include <QLineEdit>
#include <QPointF>
#include <vector>

class TDieFace : public QLineEdit {
    Q_OBJECT
public:
    explicit TDieFace(QWidget* parent = nullptr);

    void SetKept(bool kept);
    bool Kept() const { return kept; }
    // The value shown, 1 to 6, or 0 for none.
    int Value() const;

    // Pip centres of a face with value 1..6 in a unit square (none for other values).
    static std::vector<QPointF> Pips(int value);

signals:
    // The face was clicked (the dice set ticks or clears the die's keep box).
    void Clicked();

protected:
    void paintEvent(QPaintEvent* ev) override;
    void mousePressEvent(QMouseEvent* ev) override;
    void mouseDoubleClickEvent(QMouseEvent* ev) override;

private:
    bool kept = false;
};
