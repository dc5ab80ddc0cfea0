#include "FrmProgor.h"

#include "Clock.h"
#include "Dialogs.h"
#include "Schedule.h"
#include "SpinButtons.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <functional>

namespace {
// Puts the value back in two digits when the operator leaves a box half typed or empty.
class TwoDigitsOnLeave : public QObject
{
public:
    TwoDigitsOnLeave(QObject *parent, std::function<void()> refresh)
        : QObject(parent), m_refresh(std::move(refresh))
    {
    }
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::FocusOut)
            m_refresh();
        return false;
    }

private:
    std::function<void()> m_refresh;
};
} // namespace

FrmProgor::FrmProgor(const Services &services, Schedule &schedule, QWidget *parent)
    : QWidget(parent), m_s(services), m_schedule(schedule)
{
    setWindowTitle(tr("Scheduler"));
    // Days and months in the windows' language, whatever the system's.
    const QLocale names(tr("en", "the locale of the day and month names"));
    const auto named = [](QWidget *w, const QString &name) {
        w->setObjectName(name);
        return w;
    };

    numerotelefono = new QLineEdit(this);
    named(numerotelefono, QStringLiteral("numerotelefono"));
    numerotelefono->setReadOnly(true);
    Option1[0] = new QRadioButton(tr("Weekly"), this);
    Option1[1] = new QRadioButton(tr("Monthly"), this);
    for (int i = 0; i < 2; ++i)
        named(Option1[i], QStringLiteral("Option1(%1)").arg(i));

    Frame1 = new QGroupBox(tr("Weekly"), this);
    named(Frame1, QStringLiteral("Frame1"));
    auto *weekGrid = new QGridLayout(Frame1);
    for (int i = 0; i < 7; ++i) {
        Check1[i] = new QCheckBox(names.dayName(i + 1), Frame1);
        named(Check1[i], QStringLiteral("Check1(%1)").arg(i));
        weekGrid->addWidget(Check1[i], i % 4, i / 4);
    }

    Frame2 = new QGroupBox(tr("Monthly"), this);
    named(Frame2, QStringLiteral("Frame2"));
    auto *monthGrid = new QGridLayout(Frame2);
    for (int i = 0; i < 12; ++i) {
        Check2[i] = new QCheckBox(names.monthName(i + 1), Frame2);
        named(Check2[i], QStringLiteral("Check2(%1)").arg(i));
        monthGrid->addWidget(Check2[i], i % 6, i / 6);
    }
    Label1 = new QLabel(tr("Every"), Frame2);
    named(Label1, QStringLiteral("Label1"));
    Combo1 = new QComboBox(Frame2);
    named(Combo1, QStringLiteral("Combo1"));
    Combo1->addItems({tr("No one"), tr("First"), tr("Last")});
    Combo2 = new QComboBox(Frame2);
    named(Combo2, QStringLiteral("Combo2"));
    Combo2->addItem(tr("No one"));
    for (int day = 1; day <= 7; ++day)
        Combo2->addItem(names.dayName(day));
    auto *every = new QHBoxLayout;
    every->addWidget(Label1);
    every->addWidget(Combo1);
    every->addWidget(Combo2);
    monthGrid->addLayout(every, 6, 0, 1, 2);

    Frame3 = new QGroupBox(tr("Hour/minute"), this);
    named(Frame3, QStringLiteral("Frame3"));
    auto *timeRow = new QHBoxLayout(Frame3);
    const char *timeCaptions[2] = {QT_TR_NOOP("Hour"), QT_TR_NOOP("Minute")};
    const int maxima[2] = {23, 59};
    const QRegularExpression patterns[2] = {QRegularExpression(QStringLiteral("[01]?[0-9]|2[0-3]")),
                                            QRegularExpression(QStringLiteral("[0-5]?[0-9]"))};
    for (int i = 0; i < 2; ++i) {
        Text1[i] = new QLineEdit(Frame3);
        named(Text1[i], QStringLiteral("Text1(%1)").arg(i));
        Text1[i]->setMaxLength(2);
        Text1[i]->setFixedWidth(32);
        Text1[i]->setAlignment(Qt::AlignRight);
        Text1[i]->setValidator(new QRegularExpressionValidator(patterns[i], Text1[i]));
        VScroll1[i] = new SpinButtons(0, maxima[i], Frame3);
        named(VScroll1[i], QStringLiteral("VScroll1(%1)").arg(i));
        timeRow->addWidget(new QLabel(tr(timeCaptions[i]), Frame3));
        timeRow->addWidget(Text1[i]);
        timeRow->addWidget(VScroll1[i]);
        timeRow->addSpacing(12);
    }

    Check3 = new QCheckBox(tr("Collect audit unattended"), this);
    named(Check3, QStringLiteral("Check3"));
    Command1[0] = new QPushButton(tr("Save and Exit"), this);
    Command1[1] = new QPushButton(tr("Exit"), this);
    for (int i = 0; i < 2; ++i)
        named(Command1[i], QStringLiteral("Command1(%1)").arg(i));

    auto *grid = new QGridLayout(this);
    grid->addWidget(numerotelefono, 0, 0, 1, 2);
    grid->addWidget(Option1[0], 1, 0);
    grid->addWidget(Option1[1], 1, 1);
    grid->addWidget(Frame1, 2, 0);
    grid->addWidget(Frame2, 2, 1, 2, 1);
    grid->addWidget(Frame3, 3, 0);
    grid->addWidget(Check3, 4, 0, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1[0]);
    buttons->addWidget(Command1[1]);
    grid->addLayout(buttons, 5, 0, 1, 2);

    // Every control writes its field at once; none writes while the entry is being shown.
    const auto edit = [this](auto change) {
        return [this, change](auto... args) {
            if (!m_filling && m_record >= 0)
                change(record(), args...);
        };
    };
    for (int i = 0; i < 2; ++i)
        connect(Option1[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on && !m_filling && m_record >= 0)
                setWeekly(i == 0);
        });
    for (int i = 0; i < 7; ++i)
        connect(Check1[i], &QCheckBox::toggled, this,
                edit([i](ScheduleRecord &r, bool on) { r.setWeekday(i + 1, on); }));
    for (int i = 0; i < 12; ++i)
        connect(Check2[i], &QCheckBox::toggled, this,
                edit([i](ScheduleRecord &r, bool on) { r.setMonth(i + 1, on); }));
    connect(Combo1, &QComboBox::currentIndexChanged, this, edit([](ScheduleRecord &r, int k) {
                r.setOccurrence(k == 1   ? ScheduleRecord::Occurrence::First
                                : k == 2 ? ScheduleRecord::Occurrence::Last
                                         : ScheduleRecord::Occurrence::Every);
            }));
    connect(Combo2, &QComboBox::currentIndexChanged, this, edit([](ScheduleRecord &r, int k) {
                r.setDays(k >= 1 && k <= 7 ? quint8(1u << (k - 1)) : 0);
            }));
    connect(Check3, &QCheckBox::toggled, this,
            edit([](ScheduleRecord &r, bool on) { r.setUnattended(on); }));
    for (int i = 0; i < 2; ++i) {
        connect(VScroll1[i], &SpinButtons::valueChanged, this, [this, i, edit](int v) {
            // While the operator types, "2" stays "2" so that "23" can follow.
            if (!m_typing)
                showTime(i, v);
            edit([i](ScheduleRecord &r, int v) {
                i == 0 ? r.setHour(quint8(v)) : r.setMinute(quint8(v));
            })(v);
        });
        // A typed value the validator accepts moves the spin buttons, which store it.
        connect(Text1[i], &QLineEdit::textEdited, this, [this, i](const QString &text) {
            bool ok = false;
            const int v = text.toInt(&ok);
            if (ok && Text1[i]->hasAcceptableInput()) {
                m_typing = true;
                VScroll1[i]->setValue(v);
                m_typing = false;
            }
        });
        Text1[i]->installEventFilter(
            new TwoDigitsOnLeave(Text1[i], [this, i] { showTime(i, VScroll1[i]->value()); }));
    }
    connect(Command1[0], &QPushButton::clicked, this, [this] { Command1_Click(0); });
    connect(Command1[1], &QPushButton::clicked, this, [this] { Command1_Click(1); });
}

ScheduleRecord &FrmProgor::record()
{
    return m_schedule[m_record];
}

void FrmProgor::showTime(int box, int value)
{
    const QString text = QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
    if (Text1[box]->text() != text)
        Text1[box]->setText(text);
}

void FrmProgor::setWeekly(bool weekly)
{
    ScheduleRecord &r = record();
    r.setWeekly(weekly);
    Frame1->setEnabled(weekly);
    Frame2->setEnabled(!weekly);
    // The day bits mean weekdays in one mode and the single weekday in the other: they follow
    // what the now active frame shows, so the entry does what the window says.
    if (weekly) {
        quint8 days = 0;
        for (int i = 0; i < 7; ++i)
            days |= Check1[i]->isChecked() ? quint8(1u << i) : 0;
        r.setDays(days);
    } else {
        const int k = Combo2->currentIndex();
        r.setDays(k >= 1 ? quint8(1u << (k - 1)) : 0);
    }
}

bool FrmProgor::showFor(const QString &number)
{
    if (number.trimmed().isEmpty())
        return false;
    QString why;
    if (!m_schedule.load(&why))
        m_s.dialogs->message(tr("The schedule %1 cannot be read (%2).\r\nThe entries "
                                            "in memory are shown and saved in its place.")
                                 .arg(QDir::toNativeSeparators(m_schedule.path()), why),
                             MsgButtons::Ok, MsgIcon::Exclamation, tr("Error"));
    const int place = m_schedule.place(number);
    if (place < 0) {
        m_s.dialogs->message(tr("The schedule is full: all %1 entries belong to other "
                                            "numbers, so %2 cannot be scheduled.")
                                 .arg(Schedule::Size)
                                 .arg(number),
                             MsgButtons::Ok, MsgIcon::Exclamation, tr("Scheduler"));
        return false;
    }
    m_record = place;
    if (record().isFree())
        record().setNumber(number);
    fillControls();
    show();
    raise();
    activateWindow();
    return true;
}

void FrmProgor::fillControls()
{
    m_filling = true;
    const ScheduleRecord &r = record();
    numerotelefono->setText(QString::fromLatin1(r.number()));
    for (int i = 0; i < 7; ++i)
        Check1[i]->setChecked(r.onWeekday(i + 1));
    for (int i = 0; i < 12; ++i)
        Check2[i]->setChecked(r.inMonth(i + 1));
    Combo1->setCurrentIndex(int(r.occurrence()));
    int weekday = 0;
    for (int k = 1; k <= 7; ++k)
        if (r.days() == (1u << (k - 1)))
            weekday = k;
    Combo2->setCurrentIndex(weekday);
    // Values beyond the spin buttons' ranges (a hand-made file) show, and stay, as they are.
    VScroll1[0]->setValue(r.hour());
    VScroll1[1]->setValue(r.minute());
    showTime(0, r.hour());
    showTime(1, r.minute());
    Check3->setChecked(r.unattended());
    Option1[r.weekly() ? 0 : 1]->setChecked(true);
    Frame1->setEnabled(r.weekly());
    Frame2->setEnabled(!r.weekly());
    m_filling = false;
}

void FrmProgor::Command1_Click(int index)
{
    if (index == 0) {
        QString why;
        if (!m_schedule.save(&why)) {
            m_s.dialogs->message(tr("The schedule cannot be written to %1 (%2).\r\n"
                                                "The entries stay in memory until the station "
                                                "ends.")
                                     .arg(QDir::toNativeSeparators(m_schedule.path()), why),
                                 MsgButtons::Ok, MsgIcon::Exclamation, tr("Error"));
            return;
        }
    }
    close();
}
