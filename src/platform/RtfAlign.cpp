#include "platform/RtfAlign.h"

namespace platform {

RtfAlign rtfAlignOf(const QTextBlockFormat &format)
{
    if (!format.hasProperty(QTextFormat::BlockAlignment))
        return RtfAlign::None;
    const Qt::Alignment a = format.alignment() & Qt::AlignHorizontal_Mask;
    if (a & Qt::AlignJustify)
        return RtfAlign::Justify;
    if (a & Qt::AlignHCenter)
        return RtfAlign::Center;
    if (a & Qt::AlignRight)
        return RtfAlign::Right;
    if (a & Qt::AlignLeft)
        return RtfAlign::Left;
    return RtfAlign::None;
}

void setRtfAlign(QTextBlockFormat &format, RtfAlign align)
{
    switch (align) {
    case RtfAlign::Left:
        format.setAlignment(Qt::AlignLeft);
        break;
    case RtfAlign::Right:
        format.setAlignment(Qt::AlignRight);
        break;
    case RtfAlign::Center:
        format.setAlignment(Qt::AlignHCenter);
        break;
    case RtfAlign::Justify:
        format.setAlignment(Qt::AlignJustify);
        break;
    case RtfAlign::None:
        break;
    }
}

} // namespace platform
