#include "export/SaveAs.h"

#include "about/Effects.h"
#include "browser/FrmMain.h"
#include "export/core/RtfToHtml.h"
#include "export/core/SnippetExport.h"
#include "messages/ArabicMsgBox.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "platform/RichTextBox.h"
#include "store/NodeKey.h"
#include "store/StoreError.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>
#include <QStorageInfo>
#include <QTabBar>

namespace exporting {

const QString SaveFilter = QStringLiteral("نص عادي|*.txt|نص متقدم|*.rtf|صفحة إنترنت|*.html");
const QString SelectSnippetFirst = QStringLiteral("يجب أن تحدد الكود الذي تريد حفظه أولاً!  ") + messages::spaces(40);

namespace {

enum SaveType { PlainText = 1, RichText = 2, WebPage = 3 };

// Written beside the target and then moved over it, so a failed write leaves the old file whole.
// A failure is shown in a plain message box naming the procedure; returns false then.
bool writeFile(QWidget *owner, const QByteArray &bytes, const QString &path, const QString &procedure)
{
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    // Unbuffered, so a short write (a full disk, a file size limit) shows in what write() returns.
    const bool opened = !path.isEmpty() && file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    if (opened && file.write(bytes) == bytes.size() && file.commit())
        return true;
    if (opened)
        file.cancelWriting();
    platform::plainMessageBox(owner, saveFailureMessage(describeFileFailure(path, opened, bytes.size()), procedure),
                              QGuiApplication::applicationDisplayName());
    return false;
}

void saveSelected(browser::FrmMain &main)
{
    const QString key = main.selectedKey();
    if (store::nodeKind(key) != store::NodeKind::Snippet) {
        messages::ArabicMsgBox(&main, SelectSnippetFirst, messages::ErrorTitle, platform::mb::OkOnly,
                               platform::mb::Critical);
        return;
    }
    const platform::FileDialogResult chosen = platform::getSaveFileName(&main, QString(), SaveFilter, PlainText);
    if (!chosen.accepted || chosen.fileName.isEmpty())
        return;
    const QString &path = chosen.fileName; // as typed: no extension is added
    // The file is made from the stored snippet by the same call as the command line's export,
    // so both give the same bytes; it is the text the view shows for the selected tab.
    const auto format = chosen.filterIndex == RichText  ? exporting::core::Format::Rtf
                        : chosen.filterIndex == WebPage ? exporting::core::Format::Html
                                                        : exporting::core::Format::Text;
    const auto field = main.codeTabSelected() ? exporting::core::Field::Code : exporting::core::Field::Learn;
    QByteArray bytes;
    try {
        bytes = exporting::core::exportSnippet(main.library(), store::nodeId(key), field, format,
                                               main.snippetLanguage(store::nodeId(key)));
    } catch (const rtfTohtml::ConversionError &) {
        messages::showError(&main, QStringLiteral("تعذر تحويل الكود إلى صفحة إنترنت"));
        return;
    } catch (const store::StoreError &e) {
        messages::showError(&main, e.message());
        return;
    }
    writeFile(&main, bytes, path,
              format == exporting::core::Format::Rtf ? QStringLiteral("mnusaveas_Click")
                                                     : QStringLiteral("SaveTxtFile"));
}

} // namespace

void mnusaveas_Click(browser::FrmMain &main)
{
    // Nothing selected in the tree: the root is selected and the command runs once more,
    // which then asks for a snippet.
    if (main.selectedKey().isEmpty())
        main.selectNode(store::RootKey);
    saveSelected(main);
    about::RepaintControl(main.TS1());
}

FileFailure describeFileFailure(const QString &path, bool writeFailed, qint64 bytesNeeded)
{
    if (path.isEmpty())
        return {75, QStringLiteral("Path/File access error")};
    const QFileInfo info(path);
    const QFileInfo folder(info.absolutePath());
    if (!folder.exists() || !folder.isDir())
        return {76, QStringLiteral("Path not found")};
    if (info.isDir())
        return {75, QStringLiteral("Path/File access error")};
    if (writeFailed) {
        const QStorageInfo storage(folder.absoluteFilePath());
        if (storage.isValid() && storage.bytesAvailable() <= bytesNeeded)
            return {61, QStringLiteral("Disk full")};
        return {57, QStringLiteral("Device I/O error")};
    }
    if ((info.exists() && !info.isWritable()) || (!info.exists() && !folder.isWritable()))
        return {70, QStringLiteral("Permission denied")};
    return {75, QStringLiteral("Path/File access error")};
}

QString saveFailureMessage(const FileFailure &failure, const QString &procedure)
{
    return QStringLiteral("Error ") + QString::number(failure.number) + QStringLiteral(" (") + failure.description
           + QStringLiteral(") in procedure ") + procedure + QStringLiteral(" of Form FrmMain");
}

bool SaveTxtFile(QWidget *owner, const QString &text, const QString &path)
{
    return writeFile(owner, (text + QStringLiteral("\r\n")).toUtf8(), path, QStringLiteral("SaveTxtFile"));
}

} // namespace exporting
