#include "about/CreditsLabel.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>

namespace about {

namespace {
// Lays the paragraph out at the width; returns its height.
int layOut(QTextLayout &layout, int width)
{
    int y = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += qCeil(line.height());
    }
    layout.endLayout();
    return y;
}
} // namespace

CreditsLabel::CreditsLabel(QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
}

QTextOption CreditsLabel::textOption() const
{
    QTextOption option(alignment() & Qt::AlignHorizontal_Mask);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTextDirection(layoutDirection());
    return option;
}

void CreditsLabel::measure(int width) const
{
    const QString current = text();
    if (width == m_measuredWidth && current == m_measuredText)
        return;
    m_measuredText = current;
    m_measuredWidth = width;
    m_paragraphs = current.isEmpty() ? QStringList() : current.split(QLatin1Char('\n'));
    m_tops.clear();
    m_tops.reserve(m_paragraphs.size() + 1);
    const QTextOption option = textOption();
    int y = 0;
    for (const QString &paragraph : std::as_const(m_paragraphs)) {
        m_tops.append(y);
        QTextLayout layout(paragraph, font());
        layout.setTextOption(option);
        y += layOut(layout, width);
    }
    m_tops.append(y);
}

int CreditsLabel::heightForWidth(int width) const
{
    measure(width);
    return m_tops.last();
}

QSize CreditsLabel::sizeHint() const { return QSize(width(), heightForWidth(width())); }

void CreditsLabel::paintEvent(QPaintEvent *event)
{
    measure(width());
    if (m_paragraphs.isEmpty())
        return;
    const QRect area = event->rect();
    // First paragraph whose bottom reaches into the area.
    const auto first = std::upper_bound(m_tops.cbegin(), m_tops.cend() - 1, area.top());
    qsizetype index = std::max<qsizetype>(0, (first - m_tops.cbegin()) - 1);

    QPainter painter(this);
    const QColor textColor = palette().color(QPalette::WindowText);
    const QTextOption option = textOption();
    for (; index < m_paragraphs.size() && m_tops.at(index) <= area.bottom(); ++index) {
        QTextLayout layout(m_paragraphs.at(index), font());
        layout.setTextOption(option);
        layOut(layout, width());
        const QPointF at(0, m_tops.at(index));
        painter.setPen(m_shadow);
        layout.draw(&painter, at + QPointF(1, 1));
        painter.setPen(textColor);
        layout.draw(&painter, at);
    }
}

void CreditsLabel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::LayoutDirectionChange)
        m_measuredWidth = -1;
    QLabel::changeEvent(event);
}

} // namespace about
