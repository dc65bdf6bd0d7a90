#pragma once
// A label for long credits: it lays its text out paragraph by paragraph and paints only the
// lines in view, so scrolling stays smooth however long the credits file has grown.
#include <QLabel>
#include <QList>

namespace about {

class CreditsLabel : public QLabel
{
    Q_OBJECT
public:
    explicit CreditsLabel(QWidget *parent = nullptr);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

    void setShadowColor(const QColor &color) { m_shadow = color; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void measure(int width) const;
    QTextOption textOption() const;

    QColor m_shadow = QColor(0, 0, 0, 200);
    // Top of every paragraph, and one more entry for the bottom of the last.
    mutable QList<int> m_tops;
    mutable QStringList m_paragraphs;
    mutable QString m_measuredText;
    mutable int m_measuredWidth = -1;
};

} // namespace about
