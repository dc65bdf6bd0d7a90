#pragma once
// Most of the time of a large export goes to page faults while its buffers are first written
// (tens of MB for a 10 MB snippet, one fault per 4 KB page). A buffer about to be written
// front to back asks the system for huge pages, so that filling it costs a few faults instead.
// Only a hint: without it, or where the system ignores it, nothing else changes.
#include <QtGlobal>

#if defined(Q_OS_LINUX)
#include <sys/mman.h>
#endif

namespace exporting::core {

inline void adviseLargeBuffer(const void *data, qsizetype bytes)
{
#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
    constexpr quintptr HugePage = quintptr(2) << 20;
    if (bytes < qsizetype(2 * HugePage))
        return;
    const quintptr start = (quintptr(data) + HugePage - 1) & ~(HugePage - 1);
    const quintptr end = (quintptr(data) + quintptr(bytes)) & ~(HugePage - 1);
    if (end > start)
        madvise(reinterpret_cast<void *>(start), end - start, MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(bytes);
#endif
}

} // namespace exporting::core
