#pragma once

#include <QWidget>
#include <array>

class FrmStGSM;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "Security Code": the operator types the SIM PIN (stored at once in "Pin.set" for SIM
// supervision to send), or the PUK and a new PIN, which this window sends itself. Closing it
// without OK ends the program: the station cannot work with a locked SIM.
class FrmPin : public QWidget
{
    Q_OBJECT
public:
    explicit FrmPin(FrmStGSM &main);

    void Vpin();
    void Vpuk();
    void Vpin2();
    void unload();

    std::array<QLabel *, 3> LabelT{};
    QLineEdit *Text1; // PIN
    QLineEdit *Text2; // PUK
    QLineEdit *Text3; // PIN2
    QCheckBox *Check1;
    QPushButton *Command1;

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    void Text1_Change();
    void Command1_Click();
    void Check1_Click();
    static void setOpen(QLineEdit *field, bool open);

    FrmStGSM &m_main;
    bool m_unloaded = false;
};
