#include "platform/FileDialog.h"

#include <QFileDialog>

namespace platform {

namespace {
FileDialogResult run(QWidget *parent, const FileDialogRequest &request)
{
    if (FileDialogSeam::enabled()) {
        FileDialogSeam::record(request);
        return FileDialogSeam::takeAnswer(FileDialogResult{});
    }
    QFileDialog dialog(parent, request.title);
    dialog.setAcceptMode(request.kind == FileDialogRequest::Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.kind == FileDialogRequest::Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    const QStringList filters = qtNameFilters(request.filter);
    dialog.setNameFilters(filters);
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
        dialog.selectNameFilter(filters.at(request.filterIndex - 1));
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return {true, dialog.selectedFiles().first(), int(filters.indexOf(dialog.selectedNameFilter())) + 1};
}
} // namespace

QStringList qtNameFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        result.append(QStringLiteral("%1 (%2)").arg(parts.at(i), patterns));
    }
    return result;
}

FileDialogResult getOpenFileName(QWidget *parent, const QString &title, const QString &filter, int filterIndex)
{
    return run(parent, {FileDialogRequest::Open, title, filter, filterIndex, {}});
}

FileDialogResult getSaveFileName(QWidget *parent, const QString &title, const QString &filter, int filterIndex,
                                 const QString &fileName)
{
    return run(parent, {FileDialogRequest::Save, title, filter, filterIndex, fileName});
}

} // namespace platform
