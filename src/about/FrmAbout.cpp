#include "about/FrmAbout.h"

#include "about/Credits.h"
#include "about/CreditsLabel.h"
#include "about/Effects.h"
#include "platform/MessageBox.h"
#include "platform/Twips.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QSvgRenderer>

namespace about {

namespace {
const int LabelMarginTwips = 240;
}

int pictureSide(const QSize &formSize, const QSize &pictureSize)
{
    return pictureSize.width() > pictureSize.height() ? formSize.width() : formSize.height();
}

FrmAbout::FrmAbout(const QString &libraryFolder, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("FrmAbout"));
    setWindowTitle(QStringLiteral("عن Tamrisk"));
    setLayoutDirection(Qt::RightToLeft);
    setFixedSize(platform::twipsSize(ClientWidthTwips, ClientHeightTwips));
    prepareDialog(this, false);

    m_label = new CreditsLabel(this);
    m_label->setObjectName(QStringLiteral("Label1"));
    m_label->setAccessibleName(windowTitle());
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Noto Sans Arabic"), QStringLiteral("DejaVu Sans")});
    font.setPointSizeF(14.25);
    font.setBold(true);
    m_label->setFont(font);
    m_label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    // Light text with a dark shadow stays readable over the bright parts of the picture.
    QPalette palette = m_label->palette();
    palette.setColor(QPalette::WindowText, QColor(0xfd, 0xf6, 0xe3));
    m_label->setPalette(palette);

    QString credits = ReadWholeFile(creditsPath(libraryFolder));
    credits.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    credits.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    m_label->setText(credits);
    // The credits scroll past too slowly to be read out as they go; a screen reader gets them whole.
    m_label->setAccessibleDescription(credits);
    placeLabel();

    m_scrollTimer.setInterval(ScrollIntervalMs);
    connect(&m_scrollTimer, &QTimer::timeout, this, &FrmAbout::AboutScrollTick);
    m_scrollTimer.start();

    RedrawPic(backgroundPicture());
}

FrmAbout::~FrmAbout() { m_scrollTimer.stop(); }

QImage FrmAbout::backgroundPicture()
{
    loadResources();
    QSvgRenderer renderer(QStringLiteral(":/about/about.svg"));
    QImage picture(renderer.defaultSize(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    renderer.render(&painter);
    return picture;
}

QString FrmAbout::ReadWholeFile(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        if (file.error() == QFileDevice::NoError)
            return decodeCredits(bytes);
    }
    platform::plainMessageBox(nullptr,
                              QStringLiteral("تعذرت قراءة ملف الشكر والتقدير:\n%1").arg(QDir::toNativeSeparators(path)),
                              windowTitle(), platform::mb::OkOnly | platform::mb::Critical);
    return {};
}

void FrmAbout::placeLabel()
{
    // Centred, and the full height of its text so every line can scroll through.
    const int width = this->width() - 2 * platform::toPixelsX(LabelMarginTwips);
    const int height = m_label->text().isEmpty() ? 0 : m_label->heightForWidth(width);
    m_label->resize(width, height);
    m_labelTop = int(platform::toTwipsY(this->height()));
    m_label->move((this->width() - width) / 2, platform::toPixelsY(m_labelTop));
}

void FrmAbout::AboutScrollTick()
{
    const int labelHeight = int(platform::toTwipsY(m_label->height()));
    if (m_labelTop + labelHeight < 0)
        m_labelTop = int(platform::toTwipsY(height())); // the last line has left the top: start again
    else
        m_labelTop -= ScrollStepTwips;
    m_label->move(m_label->x(), platform::toPixelsY(m_labelTop));
}

void FrmAbout::RedrawPic(const QImage &picture)
{
    const int side = picture.isNull() ? 0 : pictureSide(size(), picture.size());
    m_pictureRect = QRect(0, 0, side, side);
    // Scaled once here: the credits scroll repaints the box fifty times a second.
    m_picture = QPixmap();
    if (!picture.isNull() && side > 0) {
        const qreal ratio = devicePixelRatioF();
        const int physical = qRound(side * ratio);
        m_picture = QPixmap::fromImage(
            picture.scaled(physical, physical, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        m_picture.setDevicePixelRatio(ratio);
    }
    update();
}

void FrmAbout::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(m_pictureRect.topLeft(), m_picture);
}

void FrmAbout::done(int result)
{
    m_scrollTimer.stop();
    QDialog::done(result);
}

void FrmAbout::hideEvent(QHideEvent *event)
{
    m_scrollTimer.stop();
    QDialog::hideEvent(event);
}

void runAbout(QWidget *main, const QString &libraryFolder)
{
    FrmAbout box(libraryFolder);
    if (main && main->screen()) {
        box.setScreen(main->screen());
        centreByClientSize(&box);
    }
    box.exec();
}

} // namespace about
