#pragma once
// Paragraph alignment as RTF has it (\ql, \qr, \qc, \qj or none), for the RTF writer and reader.
#include <QTextBlockFormat>

namespace platform {

enum class RtfAlign { None, Left, Right, Center, Justify };

// None when the block has no alignment of its own.
RtfAlign rtfAlignOf(const QTextBlockFormat &format);
// None leaves the block without an alignment of its own.
void setRtfAlign(QTextBlockFormat &format, RtfAlign align);

} // namespace platform
