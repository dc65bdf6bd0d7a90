#include "messages/frmMsgCreat.h"

#include "about/Effects.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "platform/Text.h"
#include "platform/Twips.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTextDocument>
#include <QTextOption>
#include <QVBoxLayout>

namespace messages {

namespace {
const int ClientWidthTwips = 9825;
const int ClientHeightTwips = 5970;

template <typename W>
W *named(W *widget, const QString &objectName, const QString &accessibleName)
{
    widget->setObjectName(objectName);
    widget->setAccessibleName(accessibleName);
    return widget;
}

QGroupBox *frame(const QString &objectName, const QString &caption)
{
    return named(new QGroupBox(caption), objectName, caption);
}

QList<QRadioButton *> optionArray(const QString &name, const QStringList &captions)
{
    QList<QRadioButton *> options;
    for (int i = 0; i < captions.size(); ++i)
        options.append(named(new QRadioButton(captions.at(i)), name + QString::number(i), captions.at(i)));
    options.first()->setChecked(true);
    return options;
}
} // namespace

frmMsgCreat::frmMsgCreat(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmMsgCreat"));
    setWindowTitle(QStringLiteral("مصمم الرسائل"));
    setLayoutDirection(Qt::RightToLeft);

    // Message text and title.
    const QString messageCaption = QStringLiteral("نص الرسالة :");
    const QString titleCaption = QStringLiteral("عنوان الرسالة :");
    auto *lblMessageText = named(new QLabel(messageCaption), QStringLiteral("lblMessageText"), messageCaption);
    m_txtMessageText = named(new QPlainTextEdit, QStringLiteral("txtMessageText"), messageCaption);
    m_txtMessageText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_txtMessageText->setTabChangesFocus(true);
    m_txtMessageText->setFixedHeight(platform::toPixelsY(800));
    QTextOption messageOption = m_txtMessageText->document()->defaultTextOption();
    messageOption.setTextDirection(Qt::RightToLeft);
    messageOption.setAlignment(Qt::AlignRight | Qt::AlignAbsolute);
    m_txtMessageText->document()->setDefaultTextOption(messageOption);
    auto *lblMessageTitle = named(new QLabel(titleCaption), QStringLiteral("lblMessageTitle"), titleCaption);
    m_txtMessageTitle = named(new QLineEdit(QStringLiteral("عنوان الرسالة")), QStringLiteral("txtMessageTitle"),
                              titleCaption);
    lblMessageText->setBuddy(m_txtMessageText);
    lblMessageTitle->setBuddy(m_txtMessageTitle);

    // Button set.
    auto *fraButtons = frame(QStringLiteral("fraButtons"), QStringLiteral("مجموعة الأزرار"));
    m_optButtons = optionArray(QStringLiteral("optButtons"),
                               {QStringLiteral("موافق"), QStringLiteral("موافق - إلغاء الأمر"),
                                QStringLiteral("إحباط - إعادة المحاولة - إلغاء الأمر"),
                                QStringLiteral("نعم - لا - إلغاء الأمر"), QStringLiteral("نعم - لا"),
                                QStringLiteral("إعادة المحاولة - إلغاء الأمر")});
    auto *buttonsLayout = new QVBoxLayout(fraButtons);
    for (QRadioButton *option : std::as_const(m_optButtons))
        buttonsLayout->addWidget(option);
    buttonsLayout->addStretch();

    // Icon, each option beside a picture of its icon.
    auto *fraIcon = frame(QStringLiteral("fraIcon"), QStringLiteral("أيقونة الرسالة"));
    m_optIcon = optionArray(QStringLiteral("optIcon"),
                            {QStringLiteral("بدون أيقونة"), QStringLiteral("خطأ"), QStringLiteral("استفهام"),
                             QStringLiteral("تحذير"), QStringLiteral("معلومات")});
    const QStyle::StandardPixmap iconPixmaps[] = {QStyle::SP_CustomBase, QStyle::SP_MessageBoxCritical,
                                                  QStyle::SP_MessageBoxQuestion, QStyle::SP_MessageBoxWarning,
                                                  QStyle::SP_MessageBoxInformation};
    auto *iconLayout = new QGridLayout(fraIcon);
    const int iconSide = platform::toPixelsY(240);
    for (int i = 0; i < m_optIcon.size(); ++i) {
        iconLayout->addWidget(m_optIcon.at(i), i, 0);
        if (i == 0)
            continue;
        auto *picIcon = named(new QLabel, QStringLiteral("picIcon") + QString::number(i), m_optIcon.at(i)->text());
        picIcon->setPixmap(style()->standardIcon(iconPixmaps[i]).pixmap(iconSide, iconSide));
        iconLayout->addWidget(picIcon, i, 1);
    }
    iconLayout->setRowStretch(m_optIcon.size(), 1);

    // Default button.
    auto *fraDefaultButton = frame(QStringLiteral("fraDefaultButton"), QStringLiteral("الزر الافتراضي"));
    m_optDefaultButton = optionArray(QStringLiteral("optDefaultButton"),
                                     {QStringLiteral("الزر الأول"), QStringLiteral("الزر الثاني"),
                                      QStringLiteral("الزر الثالث"), QStringLiteral("الزر الرابع")});
    auto *defaultLayout = new QVBoxLayout(fraDefaultButton);
    for (QRadioButton *option : std::as_const(m_optDefaultButton))
        defaultLayout->addWidget(option);
    defaultLayout->addStretch();

    // Modality.
    auto *fraModal = frame(QStringLiteral("fraModal"), QStringLiteral("نمط العرض"));
    m_optModal = optionArray(QStringLiteral("optModal"),
                             {QStringLiteral("مشروط على مستوى البرنامج"), QStringLiteral("مشروط على مستوى النظام")});
    auto *modalLayout = new QVBoxLayout(fraModal);
    for (QRadioButton *option : std::as_const(m_optModal))
        modalLayout->addWidget(option);

    // Extra options.
    auto *frame1 = frame(QStringLiteral("Frame1"), QStringLiteral("خيارات إضافية"));
    m_check1 = named(new QCheckBox(QStringLiteral("محاذاة لليمين")), QStringLiteral("Check1"),
                     QStringLiteral("محاذاة لليمين"));
    m_check2 = named(new QCheckBox(QStringLiteral("اتجاه القراءة من اليمين لليسار")), QStringLiteral("Check2"),
                     QStringLiteral("اتجاه القراءة من اليمين لليسار"));
    m_check3 = named(new QCheckBox(QStringLiteral("عرض في الخلفية")), QStringLiteral("Check3"),
                     QStringLiteral("عرض في الخلفية"));
    m_check1->setChecked(true);
    m_check2->setChecked(true);
    auto *extraLayout = new QVBoxLayout(frame1);
    extraLayout->addWidget(m_check1);
    extraLayout->addWidget(m_check2);
    extraLayout->addWidget(m_check3);

    // Help.
    auto *fraHelp = frame(QStringLiteral("fraHelp"), QStringLiteral("التعليمات"));
    m_chkHelp = named(new QCheckBox(QStringLiteral("عرض زر التعليمات")), QStringLiteral("chkHelp"),
                      QStringLiteral("عرض زر التعليمات"));
    const QString helpPathCaption = QStringLiteral("مسار ملف التعليمات");
    const QString helpContextCaption = QStringLiteral("رقم موضوع التعليمات");
    m_lblHelpPath = named(new QLabel(helpPathCaption), QStringLiteral("lblHelpPath"), helpPathCaption);
    m_txtHelpPath = named(new QLineEdit, QStringLiteral("txtHelpPath"), helpPathCaption);
    m_cmdBrowse = named(new QPushButton(QStringLiteral("...")), QStringLiteral("cmdBrowse"), helpPathCaption);
    m_cmdBrowse->setFixedWidth(platform::toPixelsX(450));
    m_lblHelpContext = named(new QLabel(helpContextCaption), QStringLiteral("lblHelpContext"), helpContextCaption);
    m_txtHelpContext = named(new QLineEdit, QStringLiteral("txtHelpContext"), helpContextCaption);
    m_txtHelpContext->setValidator(new QIntValidator(0, INT_MAX, m_txtHelpContext));
    m_lblHelpPath->setBuddy(m_txtHelpPath);
    m_lblHelpContext->setBuddy(m_txtHelpContext);
    auto *helpLayout = new QGridLayout(fraHelp);
    helpLayout->addWidget(m_chkHelp, 0, 0, 1, 3);
    helpLayout->addWidget(m_lblHelpPath, 1, 0);
    helpLayout->addWidget(m_txtHelpPath, 1, 1);
    helpLayout->addWidget(m_cmdBrowse, 1, 2);
    helpLayout->addWidget(m_lblHelpContext, 2, 0);
    helpLayout->addWidget(m_txtHelpContext, 2, 1, 1, 2);
    helpLayout->setRowStretch(3, 1);
    for (QWidget *w : {static_cast<QWidget *>(m_lblHelpPath), static_cast<QWidget *>(m_txtHelpPath),
                       static_cast<QWidget *>(m_cmdBrowse), static_cast<QWidget *>(m_lblHelpContext),
                       static_cast<QWidget *>(m_txtHelpContext)})
        w->setEnabled(false);

    // Visual Basic source reads left to right: a line that opens with an Arabic string must not be
    // turned round, so no line takes its direction from its first letter.
    m_text3 = named(new QPlainTextEdit, QStringLiteral("Text3"), QStringLiteral("الكود الناتج"));
    m_text3->setLayoutDirection(Qt::LeftToRight);
    QTextOption codeOption = m_text3->document()->defaultTextOption();
    codeOption.setTextDirection(Qt::LeftToRight);
    codeOption.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    m_text3->document()->setDefaultTextOption(codeOption);
    m_text3->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_text3->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text3->setTabChangesFocus(true);

    auto *cmdTest = named(new QPushButton(QStringLiteral("اختبار")), QStringLiteral("cmdTest"),
                          QStringLiteral("اختبار"));
    auto *cmdCopy = named(new QPushButton(QStringLiteral("نسخ للحافظة")), QStringLiteral("cmdCopy"),
                          QStringLiteral("نسخ للحافظة"));
    auto *cmdEnd = named(new QPushButton(QStringLiteral("إنهاء")), QStringLiteral("cmdEnd"), QStringLiteral("إنهاء"));
    cmdTest->setDefault(true);

    // Arrangement: text fields on top, the option frames in a row, help and code below.
    auto *top = new QGridLayout;
    top->addWidget(lblMessageText, 0, 0, Qt::AlignTop);
    top->addWidget(m_txtMessageText, 0, 1);
    top->addWidget(lblMessageTitle, 1, 0);
    top->addWidget(m_txtMessageTitle, 1, 1);
    top->setColumnStretch(1, 1);

    auto *modalColumn = new QVBoxLayout;
    modalColumn->addWidget(fraModal);
    modalColumn->addWidget(frame1);
    auto *options = new QHBoxLayout;
    options->addWidget(fraButtons);
    options->addWidget(fraIcon);
    options->addWidget(fraDefaultButton);
    options->addLayout(modalColumn);

    auto *commands = new QVBoxLayout;
    commands->addWidget(cmdTest);
    commands->addWidget(cmdCopy);
    commands->addWidget(cmdEnd);
    commands->addStretch();
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(fraHelp);
    bottom->addWidget(m_text3, 1);
    bottom->addLayout(commands);

    auto *form = new QVBoxLayout(this);
    form->setContentsMargins(platform::toPixelsX(120), platform::toPixelsY(120), platform::toPixelsX(120),
                             platform::toPixelsY(120));
    form->setSpacing(platform::toPixelsY(90));
    form->addLayout(top);
    form->addLayout(options);
    form->addLayout(bottom, 1);

    // Option clicks are the only thing that changes the dialog state.
    for (int i = 0; i < m_optButtons.size(); ++i)
        connect(m_optButtons.at(i), &QRadioButton::clicked, this, [this, i] { optButtons_Click(i); });
    for (int i = 0; i < m_optIcon.size(); ++i)
        connect(m_optIcon.at(i), &QRadioButton::clicked, this, [this, i] { m_iconKind = i; });
    for (int i = 0; i < m_optDefaultButton.size(); ++i)
        connect(m_optDefaultButton.at(i), &QRadioButton::clicked, this, [this, i] { m_defaultButton = i; });
    for (int i = 0; i < m_optModal.size(); ++i)
        connect(m_optModal.at(i), &QRadioButton::clicked, this, [this, i] { optModal_Click(i); });
    connect(m_chkHelp, &QCheckBox::toggled, this, &frmMsgCreat::chkHelp_Click);
    connect(cmdTest, &QPushButton::clicked, this, &frmMsgCreat::cmdTest_Click);
    connect(cmdCopy, &QPushButton::clicked, this, &frmMsgCreat::cmdCopy_Click);
    connect(m_cmdBrowse, &QPushButton::clicked, this, &frmMsgCreat::cmdBrowse_Click);
    connect(cmdEnd, &QPushButton::clicked, this, &QDialog::reject);

    resize(platform::twipsSize(ClientWidthTwips, ClientHeightTwips).expandedTo(minimumSizeHint()));
    about::prepareDialog(this);
}

MsgBoxDesign frmMsgCreat::design() const
{
    MsgBoxDesign d;
    d.buttonSet = m_buttonSet;
    d.iconKind = m_iconKind;
    d.defaultButton = m_defaultButton;
    d.modality = m_modality;
    d.alignRight = m_check1->isChecked();
    d.rtlReading = m_check2->isChecked();
    d.setForeground = m_check3->isChecked();
    d.helpButton = m_chkHelp->isChecked();
    return d;
}

void frmMsgCreat::optButtons_Click(int index)
{
    m_buttonSet = index;
    chkHelp_Click();
}

void frmMsgCreat::optModal_Click(int index)
{
    m_modality = index;
    // A help button is offered only on program-modal boxes.
    m_chkHelp->setChecked(false);
    m_chkHelp->setEnabled(index == 0);
}

void frmMsgCreat::chkHelp_Click()
{
    const bool help = m_chkHelp->isChecked();
    for (QWidget *w : {static_cast<QWidget *>(m_lblHelpPath), static_cast<QWidget *>(m_txtHelpPath),
                       static_cast<QWidget *>(m_cmdBrowse), static_cast<QWidget *>(m_lblHelpContext),
                       static_cast<QWidget *>(m_txtHelpContext)})
        w->setEnabled(help);
    // A chosen option that becomes disabled stays chosen, and DefaultButton keeps its value.
    const QList<bool> enabled = enabledDefaultButtons(m_buttonSet, help);
    for (int i = 0; i < m_optDefaultButton.size(); ++i)
        m_optDefaultButton.at(i)->setEnabled(enabled.value(i));
}

void frmMsgCreat::cmdTest_Click()
{
    const QString message = m_txtMessageText->toPlainText();
    const QString title = m_txtMessageTitle->text();
    const MsgBoxDesign d = design();
    m_text3->setPlainText(generatedCode(d, message, title));
    // This platform has no system-modal boxes: a system-modal style is shown application-modal.
    platform::showMessageBox(this, message, title, buildStyleText(d).total);
}

void frmMsgCreat::cmdCopy_Click() { QApplication::clipboard()->setText(platform::withCrLf(m_text3->toPlainText())); }

void frmMsgCreat::cmdBrowse_Click()
{
    const platform::FileDialogResult chosen = platform::getOpenFileName(
        this, m_lblHelpPath->text(), QStringLiteral("ملفات التعليمات|*.chm;*.hlp|جميع الملفات|*.*"));
    if (chosen.accepted)
        m_txtHelpPath->setText(chosen.fileName);
}

void runDesigner(QWidget *main)
{
    frmMsgCreat designer;
    if (main && main->screen())
        designer.setScreen(main->screen());
    about::centreByClientSize(&designer);
    designer.exec();
}

} // namespace messages
