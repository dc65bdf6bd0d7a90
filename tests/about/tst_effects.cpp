#include "TestSupport.h"

#include "about/Effects.h"

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

class TestEffects : public QObject
{
    Q_OBJECT
private slots:
    void flattenButtonsTouchesOnlyButtons()
    {
        QDialog dialog;
        auto *layout = new QVBoxLayout(&dialog);
        QList<QPushButton *> buttons;
        for (int i = 0; i < 3; ++i) {
            buttons.append(new QPushButton(QString::number(i), &dialog));
            layout->addWidget(buttons.last());
        }
        auto *edit = new QLineEdit(&dialog);
        layout->addWidget(edit);
        const QString editSheet = edit->styleSheet();
        about::FlattenButtons(&dialog);
        for (QPushButton *b : buttons) {
            QVERIFY(b->isFlat());
            QVERIFY(!b->styleSheet().isEmpty());
        }
        QCOMPARE(edit->styleSheet(), editSheet);
        QVERIFY(dialog.styleSheet().isEmpty());
    }

    void topmostStaysOnTop()
    {
        QWidget window;
        about::MakeTopmost(&window);
        QVERIFY(window.windowFlags() & Qt::WindowStaysOnTopHint);
    }

    void dialogsAreCentredByClientSizeAsToolWindows()
    {
        QDialog dialog;
        dialog.resize(400, 300);
        about::prepareDialog(&dialog);
        QCOMPARE(dialog.windowFlags() & Qt::WindowType_Mask, Qt::Tool);
        const QRect screen = dialog.screen()->geometry();
        QCOMPARE(dialog.pos(), QPoint((screen.width() - 400) / 2, (screen.height() - 300) / 2));
    }
};

TAMRISK_TEST_MAIN(TestEffects)
#include "tst_effects.moc"
