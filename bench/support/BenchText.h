#pragma once
// Sample texts the benchmarks share, so their figures are measured on the same input.
#include <QString>

namespace bench {

// Visual Basic code of at least bytes characters (a function repeated), with keywords on every
// line and an Arabic comment.
inline QString vbText(qsizetype bytes)
{
    const QString block = QStringLiteral("Public Function Total(ByVal items As Collection) As Long\r\n"
                                         "    Dim i As Long, sum As Long ' مجموع العناصر\r\n"
                                         "    For i = 1 To items.Count\r\n"
                                         "        If Not IsEmpty(items(i)) Then sum = sum + CLng(items(i))\r\n"
                                         "    Next i\r\n"
                                         "    Total = sum\r\n"
                                         "End Function\r\n");
    QString text;
    text.reserve(bytes + block.size());
    while (text.size() < bytes)
        text += block;
    return text;
}

} // namespace bench
