#include "about/Effects.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

namespace about {

void FlatButtonStyle(QPushButton *button)
{
    button->setFlat(true);
    // A flat button draws no edge at all in most styles; keep a thin static one.
    button->setStyleSheet(
        QStringLiteral("QPushButton { border: 1px solid palette(dark); border-radius: 0px; padding: 2px 8px;"
                       " background: palette(button); }"
                       "QPushButton:pressed { background: palette(mid); }"
                       "QPushButton:focus { border: 1px solid palette(highlight); }"
                       "QPushButton:disabled { color: palette(mid); }"));
}

void FlattenButtons(QWidget *form)
{
    const auto buttons = form->findChildren<QPushButton *>();
    for (QPushButton *button : buttons)
        FlatButtonStyle(button);
}

void MakeTopmost(QWidget *form)
{
    const bool visible = form->isVisible();
    form->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (visible)
        form->show();
}

void RepaintControl(QWidget *control)
{
    if (control)
        control->update(control->rect());
}

void centreByClientSize(QWidget *form)
{
    QScreen *screen = form->screen() ? form->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    const QSize client = form->size();
    form->move(area.x() + (area.width() - client.width()) / 2, area.y() + (area.height() - client.height()) / 2);
}

void applyToolWindowStyle(QWidget *form)
{
    const Qt::WindowFlags flags = form->windowFlags();
    form->setWindowFlags((flags & ~Qt::WindowType_Mask) | Qt::Tool);
}

void prepareDialog(QWidget *dialog, bool flattenButtons)
{
    applyToolWindowStyle(dialog);
    centreByClientSize(dialog);
    if (flattenButtons)
        FlattenButtons(dialog);
}

} // namespace about
