#pragma once
// The about box: the credits file scrolling up over the program's picture.
#include <QDialog>
#include <QImage>
#include <QPixmap>
#include <QTimer>

class QLabel;

namespace about {

// The side of the square a picture is painted in: the form's width for a landscape picture,
// its height for a portrait or square one.
int pictureSide(const QSize &formSize, const QSize &pictureSize);

class FrmAbout : public QDialog
{
    Q_OBJECT
public:
    static constexpr int ClientWidthTwips = 5760;
    static constexpr int ClientHeightTwips = 4485;
    static constexpr int ScrollIntervalMs = 20;
    static constexpr int ScrollStepTwips = 50;

    // Reads the credits file of the library folder; a missing or unreadable file is reported
    // once and leaves the credits empty.
    explicit FrmAbout(const QString &libraryFolder, QWidget *parent = nullptr);
    ~FrmAbout() override;

    QLabel *Label1() const { return m_label; }
    // Paints the picture from the top left corner, stretched to a square of pictureSide().
    void RedrawPic(const QImage &picture);
    QRect pictureRect() const { return m_pictureRect; }
    static QImage backgroundPicture();

    // One step of the credits scroll; the scroll timer calls it every 20 ms.
    void AboutScrollTick();
    int labelTopTwips() const { return m_labelTop; }
    bool scrolling() const { return m_scrollTimer.isActive(); }
    int scrollInterval() const { return m_scrollTimer.interval(); }

    void done(int result) override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QString ReadWholeFile(const QString &path);
    void placeLabel();

    QLabel *m_label = nullptr;
    QPixmap m_picture; // scaled to pictureRect()
    QRect m_pictureRect;
    QTimer m_scrollTimer;
    int m_labelTop = 0; // twips, from the top of the client area
};

// Opens a fresh about box, modal and without an owner, on the screen of the given window.
void runAbout(QWidget *main, const QString &libraryFolder);

} // namespace about
