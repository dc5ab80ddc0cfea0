#include "SpinButtons.h"

#include <QToolButton>
#include <QVBoxLayout>

SpinButtons::SpinButtons(int minimum, int maximum, QWidget *parent)
    : QWidget(parent), m_min(minimum), m_max(maximum), m_value(minimum)
{
    auto *box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    up = new QToolButton(this);
    up->setArrowType(Qt::UpArrow);
    down = new QToolButton(this);
    down->setArrowType(Qt::DownArrow);
    for (QToolButton *b : {up, down}) {
        b->setAutoRepeat(true);
        b->setFixedSize(18, 11);
        b->setFocusPolicy(Qt::NoFocus);
        box->addWidget(b);
    }
    connect(up, &QToolButton::clicked, this, [this] { setValue(m_value + 1); });
    connect(down, &QToolButton::clicked, this, [this] { setValue(m_value - 1); });
}

void SpinButtons::setValue(int v)
{
    v = qBound(m_min, v, m_max);
    if (v == m_value)
        return;
    m_value = v;
    emit valueChanged(v);
}
