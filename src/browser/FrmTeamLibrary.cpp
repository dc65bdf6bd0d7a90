#include "browser/FrmTeamLibrary.h"

#include "about/Effects.h"
#include "browser/WindowSettings.h"
#include "messages/ArabicMsgBox.h"
#include "platform/Settings.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QUrl>
#include <QVBoxLayout>

namespace browser {

namespace {

const QString Section = QStringLiteral("TeamLibrary");

struct SslChoice {
    const char *mode;
    const char *caption;
};
// prefer first: TLS whenever the server offers it.
constexpr SslChoice SslChoices[] = {
    {"prefer", "عند توفره لدى الخادم (prefer)"},
    {"require", "مطلوب (require)"},
    {"verify-full", "مطلوب مع التحقق من شهادة الخادم واسمه (verify-full)"},
    {"disable", "بدون تشفير (disable)"},
};

QString encoded(const QString &text) { return QString::fromLatin1(QUrl::toPercentEncoding(text)); }

QString setting(const char *key, const QString &defaultValue)
{
    return platform::getSetting(WindowSettings::appName(), Section, QLatin1String(key), defaultValue);
}

} // namespace

QString teamLibraryUri(const TeamLibraryServer &s)
{
    const QString host = s.host.trimmed();
    const QString user = s.user.trimmed();
    QString uri = QStringLiteral("postgresql://");
    if (!user.isEmpty())
        uri += encoded(user) + u'@';
    QStringList query;
    if (host.isEmpty() || host.startsWith(u'/')) {
        // A socket folder is no host name: libpq takes it as the host parameter.
        if (!host.isEmpty())
            query.append(QStringLiteral("host=") + encoded(host));
        query.append(QStringLiteral("port=") + QString::number(s.port));
    } else {
        // An IPv6 address goes in brackets.
        uri += (host.contains(u':') && !host.startsWith(u'[') ? u'[' + host + u']' : encoded(host)) + u':'
               + QString::number(s.port);
    }
    uri += u'/' + encoded(s.database.trimmed());
    query.append(QStringLiteral("sslmode=") + encoded(s.sslMode.isEmpty() ? QStringLiteral("prefer") : s.sslMode));
    return uri + u'?' + query.join(u'&');
}

TeamLibraryServer rememberedTeamLibrary()
{
    TeamLibraryServer s;
    s.host = setting("Server", s.host);
    bool ok = false;
    const int port = setting("Port", QString::number(s.port)).toInt(&ok);
    if (ok && port > 0 && port < 65536)
        s.port = port;
    s.database = setting("Database", s.database);
    s.user = setting("User", s.user);
    const QString mode = setting("SslMode", s.sslMode);
    for (const SslChoice &c : SslChoices)
        if (mode == QLatin1String(c.mode))
            s.sslMode = mode;
    return s;
}

void rememberTeamLibrary(const TeamLibraryServer &s)
{
    // Exactly these keys: a password never reaches the settings file.
    const QString app = WindowSettings::appName();
    platform::saveSetting(app, Section, QStringLiteral("Server"), s.host);
    platform::saveSetting(app, Section, QStringLiteral("Port"), QString::number(s.port));
    platform::saveSetting(app, Section, QStringLiteral("Database"), s.database);
    platform::saveSetting(app, Section, QStringLiteral("User"), s.user);
    platform::saveSetting(app, Section, QStringLiteral("SslMode"), s.sslMode);
}

FrmTeamLibrary::FrmTeamLibrary(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("FrmTeamLibrary"));
    setWindowTitle(QStringLiteral("فتح مكتبة فريق"));
    setLayoutDirection(Qt::RightToLeft);

    auto *form = new QFormLayout;
    // Captions keep their whole width at any font size; the fields take what is left.
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    const auto row = [&](const char *labelName, const QString &caption, QWidget *field, const char *fieldName) {
        auto *label = new QLabel(caption, this);
        label->setObjectName(QLatin1String(labelName));
        label->setBuddy(field);
        field->setObjectName(QLatin1String(fieldName));
        field->setAccessibleName(QString(caption).remove(u'&').remove(u':'));
        form->addRow(label, field);
    };
    m_host = new QLineEdit(this);
    m_host->setPlaceholderText(QStringLiteral("db.example.org أو /run/postgresql"));
    row("lblServer", QStringLiteral("ال&خادم:"), m_host, "TxtServer");
    m_port = new QSpinBox(this);
    m_port->setRange(1, 65535);
    m_port->setLayoutDirection(Qt::LeftToRight);
    row("lblPort", QStringLiteral("المن&فذ:"), m_port, "SpnPort");
    m_database = new QLineEdit(this);
    row("lblDatabase", QStringLiteral("&قاعدة البيانات:"), m_database, "TxtDatabase");
    m_user = new QLineEdit(this);
    row("lblUser", QStringLiteral("ال&مستخدم:"), m_user, "TxtUser");
    m_sslMode = new QComboBox(this);
    for (const SslChoice &c : SslChoices)
        m_sslMode->addItem(QString::fromUtf8(c.caption), QLatin1String(c.mode));
    // The longest choice must not make the dialog wider than the screen; its list shows it whole.
    m_sslMode->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_sslMode->setMinimumContentsLength(24);
    row("lblSslMode", QStringLiteral("ت&شفير الاتصال (TLS):"), m_sslMode, "CmbSslMode");
    m_password = new QLineEdit(this);
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setPlaceholderText(QStringLiteral("لهذا الاتصال فقط، لا تُحفظ"));
    row("lblPassword", QStringLiteral("&كلمة المرور:"), m_password, "TxtPassword");
    for (QLineEdit *box : {m_host, m_database, m_user, m_password})
        box->setLayoutDirection(Qt::LeftToRight); // names and addresses read left to right

    auto *note = new QLabel(QStringLiteral("تُحفظ بيانات الخادم لمرة قادمة، أما كلمة المرور فلا تُحفظ أبداً: "
                                           "اكتبها هنا كل مرة أو ضعها في الملف \u2066~/.pgpass\u2069."),
                            this);
    note->setObjectName(QStringLiteral("lblNote"));
    note->setWordWrap(true);

    auto *buttons = new QDialogButtonBox(this);
    buttons->setObjectName(QStringLiteral("buttons"));
    QPushButton *open = buttons->addButton(QStringLiteral("فتح"), QDialogButtonBox::AcceptRole);
    open->setObjectName(QStringLiteral("CmdOpen"));
    open->setDefault(true);
    QPushButton *cancel = buttons->addButton(QStringLiteral("إلغاء الأمر"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("CmdCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &FrmTeamLibrary::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(buttons);

    const TeamLibraryServer s = rememberedTeamLibrary();
    m_host->setText(s.host);
    m_port->setValue(s.port);
    m_database->setText(s.database);
    m_user->setText(s.user);
    m_sslMode->setCurrentIndex(std::max(m_sslMode->findData(s.sslMode), 0));
    // Straight to what is still missing.
    (s.database.isEmpty() ? m_host : m_password)->setFocus();

    about::prepareDialog(this);
}

TeamLibraryServer FrmTeamLibrary::server() const
{
    TeamLibraryServer s;
    s.host = m_host->text().trimmed();
    s.port = m_port->value();
    s.database = m_database->text().trimmed();
    s.user = m_user->text().trimmed();
    s.sslMode = m_sslMode->currentData().toString();
    return s;
}

QString FrmTeamLibrary::password() const { return m_password->text(); }

void FrmTeamLibrary::accept()
{
    if (server().database.isEmpty()) {
        messages::showError(this, QStringLiteral("يجب عليك إدخال اسم قاعدة البيانات أولاً!"));
        m_database->setFocus();
        return;
    }
    rememberTeamLibrary(server());
    QDialog::accept();
}

} // namespace browser
