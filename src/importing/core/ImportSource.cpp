#include "importing/core/ImportSource.h"

#include "importing/core/ImportError.h"

namespace importing::core {

std::optional<Format> detectFormat(const QString &)
{
    return std::nullopt;
}

QString formatName(Format format)
{
    switch (format) {
    case Format::Folder: return QStringLiteral("folder");
    case Format::VsCode: return QStringLiteral("vscode");
    case Format::MassCode: return QStringLiteral("masscode");
    case Format::SnippetsLab: return QStringLiteral("snippetslab");
    case Format::CherryTree: return QStringLiteral("cherrytree");
    }
    return {};
}

std::optional<Format> formatFromName(const QString &name)
{
    for (Format f : {Format::Folder, Format::VsCode, Format::MassCode, Format::SnippetsLab, Format::CherryTree}) {
        if (formatName(f).compare(name, Qt::CaseInsensitive) == 0)
            return f;
    }
    return std::nullopt;
}

void readSource(const QString &path, Format, ItemSink &)
{
    throw ImportError(QStringLiteral("الاستيراد غير متاح بعد: %1").arg(path));
}

} // namespace importing::core
