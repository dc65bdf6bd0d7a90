#pragma once
// Finding and driving the controls of the snippet dialogs in tests.
#include "TestSupport.h"

#include "platform/MessageBox.h"
#include "platform/RichTextBox.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

namespace testing {

inline QLineEdit *edit(QObject *d, const char *name) { return control<QLineEdit>(d, name); }
inline QPushButton *button(QObject *d, const char *name) { return control<QPushButton>(d, name); }
inline platform::RichTextBox *richBox(QObject *d, const char *name) { return control<platform::RichTextBox>(d, name); }
inline QComboBox *categoryList(QObject *d) { return control<QComboBox>(d, "CmbGroub"); }

inline void click(QObject *d, const char *name) { QTest::mouseClick(button(d, name), Qt::LeftButton); }

inline QStringList entries(QComboBox *combo)
{
    QStringList list;
    for (int i = 0; i < combo->count(); ++i)
        list.append(combo->itemText(i));
    return list;
}

// Right-clicks the box; while its pop-up is open, `inspect` sees the menu. The pop-up is then
// closed, or, when `item` is given, that item is chosen the way a user does.
inline void rightClickPopup(platform::RichTextBox *box, const std::function<void(QMenu *)> &inspect,
                            const char *item = nullptr)
{
    bool seen = false;
    QTimer::singleShot(0, box, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        seen = true;
        inspect(menu);
        if (item) {
            QAction *action = menu->findChild<QAction *>(QLatin1String(item));
            menu->setActiveAction(action);
            QTest::keyClick(menu, Qt::Key_Return);
        } else {
            menu->close();
        }
    });
    QTest::mouseClick(box->viewport(), Qt::RightButton, {}, QPoint(10, 10));
    QVERIFY2(seen, "the pop-up did not open");
}

inline QString lastPrompt() { return platform::MessageBoxSeam::last().prompt; }

} // namespace testing
