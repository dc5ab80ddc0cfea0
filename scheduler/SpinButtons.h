#pragma once

#include <QWidget>

class QToolButton;

// A pair of arrow buttons stepping a value within a range, beside a text box: the upper one
// raises the value, the lower one lowers it, repeating while held.
class SpinButtons : public QWidget
{
    Q_OBJECT
public:
    SpinButtons(int minimum, int maximum, QWidget *parent = nullptr);

    int value() const { return m_value; }
    // Clamped to the range; emits valueChanged when the value changes.
    void setValue(int v);
    int minimum() const { return m_min; }
    int maximum() const { return m_max; }

    QToolButton *up = nullptr;
    QToolButton *down = nullptr;

signals:
    void valueChanged(int value);

private:
    int m_min;
    int m_max;
    int m_value;
};
