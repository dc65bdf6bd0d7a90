#include "export/core/RtfFile.h"

#include "export/core/RtfToHtml.h"
#include "platform/Error.h"

#include <QFile>
#include <QStringEncoder>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace exporting::rtfTohtml {

namespace {

[[noreturn]] void fail(const QString &what, const QString &path, int err)
{
    throw platform::FileError(
        QStringLiteral("%1 \"%2\": %3").arg(what, path, QString::fromLocal8Bit(std::strerror(err))));
}

struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

struct Mapping {
    void *data = MAP_FAILED;
    size_t size = 0;
    ~Mapping()
    {
        if (data != MAP_FAILED)
            munmap(data, size);
    }
};

constexpr size_t HugePage = size_t(2) << 20;

// Memory in whole huge pages, so filling it costs a fault per 2 MB rather than per 4 KB.
struct HugeBuffer {
    void *data = nullptr;
    explicit HugeBuffer(size_t bytes)
    {
        const size_t size = (bytes + HugePage - 1) / HugePage * HugePage;
        data = std::aligned_alloc(HugePage, size == 0 ? HugePage : size);
        if (!data)
            throw std::bad_alloc();
#if defined(MADV_HUGEPAGE)
        madvise(data, size, MADV_HUGEPAGE);
#endif
    }
    ~HugeBuffer() { std::free(data); }
    HugeBuffer(const HugeBuffer &) = delete;
    HugeBuffer &operator=(const HugeBuffer &) = delete;
};

void writeAll(int fd, const char *data, size_t size, const QString &path)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(QStringLiteral("تعذرت كتابة الملف"), path, errno);
        }
        data += n;
        size -= size_t(n);
    }
}

} // namespace

void convertRtfFile(const QString &in, const QString &out, const QString &options)
{
    Fd input;
    input.fd = ::open(QFile::encodeName(in).constData(), O_RDONLY | O_CLOEXEC);
    struct stat st { };
    if (input.fd < 0 || ::fstat(input.fd, &st) != 0)
        fail(QStringLiteral("تعذرت قراءة الملف"), in, errno);
    if (!S_ISREG(st.st_mode))
        fail(QStringLiteral("تعذرت قراءة الملف"), in, EINVAL);
    const size_t size = size_t(st.st_size);

    HugeBuffer wide(size * sizeof(char16_t));
    char16_t *text = static_cast<char16_t *>(wide.data);
    if (size > 0) {
        Mapping map;
        map.size = size;
        map.data = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, input.fd, 0);
        if (map.data == MAP_FAILED)
            fail(QStringLiteral("تعذرت قراءة الملف"), in, errno);
        const unsigned char *bytes = static_cast<const unsigned char *>(map.data);
        for (size_t i = 0; i < size; ++i)
            text[i] = bytes[i]; // Latin-1
    }
    const QString html = ConvertRtfToHtml(QString::fromRawData(reinterpret_cast<const QChar *>(text), qsizetype(size)),
                                          options);

    Fd output;
    output.fd = ::open(QFile::encodeName(out).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (output.fd < 0)
        fail(QStringLiteral("تعذرت كتابة الملف"), out, errno);
    // Pieces small enough to stay in the cache between encoding and writing.
    constexpr qsizetype Piece = 64 * 1024;
    auto buffer = std::make_unique<char[]>(Piece * 3);
    QStringEncoder utf8(QStringEncoder::Utf8);
    for (qsizetype at = 0; at < html.size();) {
        qsizetype n = std::min(Piece, html.size() - at);
        if (at + n < html.size() && html.at(at + n - 1).isHighSurrogate())
            --n; // a pair is encoded whole
        char *end = utf8.appendToBuffer(buffer.get(), QStringView(html).sliced(at, n));
        writeAll(output.fd, buffer.get(), size_t(end - buffer.get()), out);
        at += n;
    }
    if (::close(output.fd) != 0) {
        output.fd = -1;
        fail(QStringLiteral("تعذرت كتابة الملف"), out, errno);
    }
    output.fd = -1;
}

} // namespace exporting::rtfTohtml
