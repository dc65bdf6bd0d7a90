#include "platform/FileDialog.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QProxyStyle>
#include <QScreen>
#include <QStyleOptionComboBox>
#include <QTimer>
#include <QTreeView>

namespace platform {

namespace {

// The folder of the last file chosen in this session; the home folder before that. The working
// folder would be the program's own, where the user's files never are.
QString &lastFolder()
{
    static QString folder;
    return folder;
}

QString startFolder()
{
    const QString last = lastFolder();
    return !last.isEmpty() && QFileInfo(last).isDir() ? last : QDir::homePath();
}

void remember(const FileDialogResult &result)
{
    if (result.accepted && !result.fileName.isEmpty())
        lastFolder() = QFileInfo(result.fileName).absolutePath();
}

// A combo box draws its text in the application's direction whatever its own: a path or a
// pattern in it is isolated left to right for the drawing.
class LeftToRightComboStyle : public QProxyStyle
{
public:
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        if (element == CE_ComboBoxLabel)
            if (const auto *combo = qstyleoption_cast<const QStyleOptionComboBox *>(option)) {
                QStyleOptionComboBox isolated(*combo);
                isolated.currentText = QChar(0x2066) + combo->currentText + QChar(0x2069);
                QProxyStyle::drawControl(element, &isolated, painter, widget);
                return;
            }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
};

// Qt's own dialog, used where the desktop offers none, is laid out for left-to-right text: in a
// right-to-left program its file list reverses sizes and dates, and its buttons draw their icons
// over their captions. It is put right once its widgets exist.
class WidgetDialogFixer : public QObject
{
public:
    explicit WidgetDialogFixer(QFileDialog *dialog)
        : m_dialog(dialog)
    {
        // The dialog builds its widgets only when it is shown, and sets their direction then.
        QTimer::singleShot(0, this, &WidgetDialogFixer::fix);
    }

private:
    void fix()
    {
        for (const char *name : {"treeView", "listView"}) {
            if (auto *view = m_dialog->findChild<QAbstractItemView *>(QLatin1String(name))) {
                view->setLayoutDirection(Qt::LeftToRight);
                view->setTextElideMode(Qt::ElideMiddle);
                if (auto *tree = qobject_cast<QTreeView *>(view)) {
                    // The name takes what the others leave; size, type and date are as wide as
                    // their widest text (Arabic digits and month names included), so none
                    // runs into the next.
                    QHeaderView *header = tree->header();
                    header->setStretchLastSection(false);
                    header->setMinimumSectionSize(header->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 6);
                    for (int i = 0; i < header->count(); ++i)
                        header->setSectionResizeMode(i, i == 0 ? QHeaderView::Stretch : QHeaderView::ResizeToContents);
                }
            }
        }
        // Paths and patterns read left to right: mirrored, "/home/user" shows as "home/user/"
        // and "(*.html)" as "(html.*)". The file type list keeps its Arabic names, now at the left.
        auto *style = new LeftToRightComboStyle;
        style->setParent(m_dialog);
        for (const char *name : {"lookInCombo", "fileNameEdit", "fileTypeCombo"})
            if (auto *w = m_dialog->findChild<QWidget *>(QLatin1String(name))) {
                w->setLayoutDirection(Qt::LeftToRight);
                if (qobject_cast<QComboBox *>(w))
                    w->setStyle(style);
            }
        if (auto *buttons = m_dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox")))
            for (QAbstractButton *button : buttons->buttons())
                button->setIcon(QIcon());
    }
    QFileDialog *m_dialog;
};

FileDialogResult run(QWidget *parent, FileDialogRequest request)
{
    if (request.title.isEmpty())
        request.title = request.kind == FileDialogRequest::Save ? QStringLiteral("حفظ باسم") : QStringLiteral("فتح");
    request.directory = startFolder();
    if (FileDialogSeam::enabled()) {
        FileDialogSeam::record(request);
        const FileDialogResult answer = FileDialogSeam::takeAnswer(FileDialogResult{});
        remember(answer);
        return answer;
    }
    // Without DontUseNativeDialog the desktop's own dialog is used wherever its platform theme offers one.
    QFileDialog dialog(parent, request.title, request.directory);
    const WidgetDialogFixer fixer(&dialog);
    if (const QRect screen = parent && parent->screen() ? parent->screen()->availableGeometry() : QRect();
        screen.isValid())
        dialog.resize(std::min(screen.width() * 2 / 3, 900), std::min(screen.height() * 2 / 3, 560));
    dialog.setAcceptMode(request.kind == FileDialogRequest::Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.kind == FileDialogRequest::Save     ? QFileDialog::AnyFile
                       : request.kind == FileDialogRequest::Folder ? QFileDialog::Directory
                                                                   : QFileDialog::ExistingFile);
    if (request.kind == FileDialogRequest::Folder)
        dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    const QStringList filters = qtNameFilters(request.filter);
    dialog.setNameFilters(filters);
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
        dialog.selectNameFilter(filters.at(request.filterIndex - 1));
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const FileDialogResult result{true, dialog.selectedFiles().first(),
                                  int(filters.indexOf(dialog.selectedNameFilter())) + 1};
    remember(result);
    return result;
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
    return run(parent, {FileDialogRequest::Open, title, filter, filterIndex, {}, {}});
}

FileDialogResult getSaveFileName(QWidget *parent, const QString &title, const QString &filter, int filterIndex,
                                 const QString &fileName)
{
    return run(parent, {FileDialogRequest::Save, title, filter, filterIndex, fileName, {}});
}

FileDialogResult getExistingFolder(QWidget *parent, const QString &title)
{
    return run(parent, {FileDialogRequest::Folder, title, {}, 1, {}, {}});
}

} // namespace platform
