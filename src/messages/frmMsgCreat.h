#pragma once
// The message-box designer: the user picks the parts of a message box, the dialog writes the
// Visual Basic statement for it and shows a sample.
#include "messages/MsgBoxCode.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace messages {

class frmMsgCreat : public QDialog
{
    Q_OBJECT
public:
    explicit frmMsgCreat(QWidget *parent = nullptr);

    // The option indexes as the option clicks last set them (not read back from the controls).
    int ButtonSet() const { return m_buttonSet; }
    int IconKind() const { return m_iconKind; }
    int DefaultButton() const { return m_defaultButton; }
    int Modality() const { return m_modality; }
    // The current choices, flags read from their check boxes.
    MsgBoxDesign design() const;

    QRadioButton *optButtons(int index) const { return m_optButtons.value(index); }
    QRadioButton *optIcon(int index) const { return m_optIcon.value(index); }
    QRadioButton *optDefaultButton(int index) const { return m_optDefaultButton.value(index); }
    QRadioButton *optModal(int index) const { return m_optModal.value(index); }

public slots:
    void cmdTest_Click();
    void cmdCopy_Click();
    void cmdBrowse_Click();

private:
    void optButtons_Click(int index);
    void optModal_Click(int index);
    // Help fields and the default-button options that the button set (and help button) offers.
    void chkHelp_Click();

    int m_buttonSet = 0;
    int m_iconKind = 0;
    int m_defaultButton = 0;
    int m_modality = 0;

    QPlainTextEdit *m_txtMessageText = nullptr;
    QLineEdit *m_txtMessageTitle = nullptr;
    QList<QRadioButton *> m_optButtons;
    QList<QRadioButton *> m_optIcon;
    QList<QRadioButton *> m_optDefaultButton;
    QList<QRadioButton *> m_optModal;
    QCheckBox *m_check1 = nullptr;
    QCheckBox *m_check2 = nullptr;
    QCheckBox *m_check3 = nullptr;
    QCheckBox *m_chkHelp = nullptr;
    QLabel *m_lblHelpPath = nullptr;
    QLineEdit *m_txtHelpPath = nullptr;
    QPushButton *m_cmdBrowse = nullptr;
    QLabel *m_lblHelpContext = nullptr;
    QLineEdit *m_txtHelpContext = nullptr;
    QPlainTextEdit *m_text3 = nullptr;
};

// Opens a fresh designer, modal and without an owner, on the screen of the given window.
void runDesigner(QWidget *main);

} // namespace messages
