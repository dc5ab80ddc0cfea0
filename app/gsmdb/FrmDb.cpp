#include "FrmDb.h"

#include "DbCommand.h"
#include "DbTableModel.h"
#include "Dialogs.h"
#include "FieldNames.h"
#include "OutputFile.h"
#include "TableIo.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace {
QString csvFilter()
{
    return QCoreApplication::translate("FrmDb", "CSV files (*.csv);;All files (*)");
}

struct Nouns
{
    const char *one, *many;
};

Nouns nounsOf(const QString &table)
{
    if (table == MachineTables::Distributori)
        return {QT_TRANSLATE_NOOP("FrmDb", "machine"), QT_TRANSLATE_NOOP("FrmDb", "machines")};
    if (table == MachineTables::PuntiVendita)
        return {QT_TRANSLATE_NOOP("FrmDb", "sale point"),
                QT_TRANSLATE_NOOP("FrmDb", "sale points")};
    if (table == MachineTables::Operatori)
        return {QT_TRANSLATE_NOOP("FrmDb", "operator"), QT_TRANSLATE_NOOP("FrmDb", "operators")};
    return {QT_TRANSLATE_NOOP("FrmDb", "event"), QT_TRANSLATE_NOOP("FrmDb", "events")};
}

// "1 machine", "2 machines" and so on for the records of a table. Without a translation the
// English ending is put on here.
QString counted(const QString &table, int n)
{
    const char *text =
        table == MachineTables::Distributori   ? QT_TRANSLATE_N_NOOP("FrmDb", "%n machine(s)")
        : table == MachineTables::PuntiVendita ? QT_TRANSLATE_N_NOOP("FrmDb", "%n sale point(s)")
        : table == MachineTables::Operatori    ? QT_TRANSLATE_N_NOOP("FrmDb", "%n operator(s)")
                                               : QT_TRANSLATE_N_NOOP("FrmDb", "%n event(s)");
    QString out = QCoreApplication::translate("FrmDb", text, nullptr, n);
    return out.replace(QLatin1String("(s)"), n == 1 ? QString() : QStringLiteral("s"));
}

QString nameTableOf(const QString &field)
{
    if (field == QLatin1String("Sale point"))
        return MachineTables::PuntiVendita;
    if (field == QLatin1String("Operator"))
        return MachineTables::Operatori;
    return {};
}

// Shows rows top to bottom, one selected row or several, sorted by a click on a column.
void setUpView(QTableView *view, Qt::SortOrder initial)
{
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setAlternatingRowColors(true);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 8);
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->horizontalHeader()->setStretchLastSection(true);
    view->horizontalHeader()->setSortIndicatorClearable(true);
    // No indicator: record order (the journal: newest first) until a column is clicked.
    view->horizontalHeader()->setSortIndicator(-1, initial);
    view->setSortingEnabled(true);
    for (int c = 0; c < view->model()->columnCount(); ++c)
        view->setColumnWidth(c, 170);
}

QString listed(const QList<TableIo::RowProblem> &problems)
{
    constexpr int Shown = 10;
    QStringList lines;
    for (qsizetype i = 0; i < problems.size() && i < Shown; ++i)
        lines << QCoreApplication::translate("FrmDb", "line %1: %2")
                     .arg(problems[i].line)
                     .arg(problems[i].reason);
    if (problems.size() > Shown)
        lines
            << QCoreApplication::translate("FrmDb", "... and %1 more").arg(problems.size() - Shown);
    return lines.join(QLatin1Char('\n'));
}
} // namespace

QStringList namesOnFile(SqlMachineDb &db, const QString &table)
{
    QStringList names{QString()};
    QSqlQuery q(db.database());
    q.setForwardOnly(true);
    q.exec(QStringLiteral("SELECT DISTINCT %1 FROM %2 WHERE %1 <> '' ORDER BY %1")
               .arg(db.quoted(QStringLiteral("Name")), db.quoted(table)));
    while (q.next())
        names << q.value(0).toString();
    return names;
}

// --- RecordDialog ---

RecordDialog::RecordDialog(SqlMachineDb &db, const QString &table, const QString &title,
                           std::function<bool(const DbRecord &)> save, QWidget *parent)
    : QDialog(parent), m_fields(MachineTables::fields(table)), m_save(std::move(save))
{
    setWindowTitle(title);
    auto *form = new QFormLayout;
    for (const QString &field : m_fields) {
        QWidget *editor = nullptr;
        const QString names = table == MachineTables::Distributori ? nameTableOf(field) : QString();
        if (!names.isEmpty()) {
            auto *combo = new QComboBox(this);
            combo->addItems(namesOnFile(db, names));
            editor = combo;
        } else {
            auto *line = new QLineEdit(this);
            line->setMinimumWidth(260);
            editor = line;
        }
        editor->setObjectName(field);
        m_editors.insert(field, editor);
        form->addRow(FieldNames::shown(field), editor);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &RecordDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &RecordDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

DbRecord RecordDialog::values() const
{
    DbRecord out;
    for (const QString &field : m_fields) {
        QWidget *w = m_editors.value(field);
        if (auto *line = qobject_cast<QLineEdit *>(w))
            out.insert(field, line->text());
        else if (auto *combo = qobject_cast<QComboBox *>(w))
            out.insert(field, combo->currentText());
    }
    return out;
}

void RecordDialog::accept()
{
    if (m_save(values()))
        QDialog::accept();
}

// --- NameDelegate ---

NameDelegate::NameDelegate(SqlMachineDb &db, const QString &table, QObject *parent)
    : QStyledItemDelegate(parent), m_db(db), m_table(table)
{
}

QWidget *NameDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                    const QModelIndex &) const
{
    auto *combo = new QComboBox(parent);
    combo->addItems(namesOnFile(m_db, m_table));
    return combo;
}

void NameDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *combo = static_cast<QComboBox *>(editor);
    const QString current = index.data(Qt::EditRole).toString();
    // A name no longer on file stays shown until another is chosen.
    if (combo->findText(current, Qt::MatchExactly) < 0)
        combo->addItem(current);
    combo->setCurrentIndex(combo->findText(current, Qt::MatchExactly));
}

void NameDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                const QModelIndex &index) const
{
    model->setData(index, static_cast<QComboBox *>(editor)->currentText(), Qt::EditRole);
}

// --- TableTab ---

TableTab::TableTab(SqlMachineDb &db, Dialogs &dialogs, const QString &table, QWidget *parent)
    : QWidget(parent), m_db(db), m_dialogs(dialogs), m_table(table)
{
    model = new DbTableModel(db, table, this);
    view = new QTableView(this);
    view->setModel(model);
    setUpView(view, Qt::AscendingOrder);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed);
    if (table == MachineTables::Distributori)
        for (const QString &field : {QStringLiteral("Sale point"), QStringLiteral("Operator")})
            view->setItemDelegateForColumn(model->columnOf(field),
                                           new NameDelegate(db, nameTableOf(field), view));

    searchBox = new QLineEdit(this);
    searchBox->setPlaceholderText(tr("Search"));
    searchBox->setClearButtonEnabled(true);
    addButton = new QPushButton(tr("Add..."), this);
    deleteButton = new QPushButton(tr("Delete"), this);
    deleteButton->setEnabled(false);
    importButton = new QPushButton(tr("Import..."), this);
    exportButton = new QPushButton(tr("Export..."), this);
    countLabel = new QLabel(this);

    auto *bar = new QHBoxLayout;
    bar->addWidget(searchBox, 1);
    for (QPushButton *b : {addButton, deleteButton, importButton, exportButton})
        bar->addWidget(b);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(view, 1);
    layout->addWidget(countLabel);

    connect(searchBox, &QLineEdit::textChanged, this, [this](const QString &text) {
        model->setSearch(text.trimmed());
        refreshCount();
    });
    connect(addButton, &QPushButton::clicked, this, &TableTab::add);
    connect(deleteButton, &QPushButton::clicked, this, &TableTab::deleteSelected);
    connect(importButton, &QPushButton::clicked, this, &TableTab::importCsv);
    connect(exportButton, &QPushButton::clicked, this, &TableTab::exportCsv);
    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { deleteButton->setEnabled(view->selectionModel()->hasSelection()); });
    connect(model, &QAbstractItemModel::modelReset, this,
            [this] { deleteButton->setEnabled(view->selectionModel()->hasSelection()); });
    connect(model, &DbTableModel::refused, this, [this](const QString &reason) {
        m_dialogs.message(reason, MsgButtons::Ok, MsgIcon::Exclamation);
    });
    connect(model, &DbTableModel::machinesRenamed, this, &TableTab::machinesRenamed);
    connect(model, &DbTableModel::changedOnFile, this, &TableTab::refreshCount);
    refreshCount();
}

QString TableTab::noun(int count) const
{
    const Nouns n = nounsOf(m_table);
    return QCoreApplication::translate("FrmDb", count == 1 ? n.one : n.many);
}

void TableTab::refreshCount()
{
    const int total = model->totalRows();
    if (model->search().isEmpty())
        countLabel->setText(counted(m_table, total));
    else
        countLabel->setText(
            tr("%1 of %2").arg(model->matchingRows()).arg(counted(m_table, total)));
}

void TableTab::reload()
{
    // Selecting again starts at the top; fetch down to where the view stood.
    const int top = view->rowAt(0);
    model->select();
    while (top > 0 && model->rowCount() <= top && model->canFetchMore())
        model->fetchMore();
    if (top > 0 && top < model->rowCount())
        view->scrollTo(model->index(top, 0), QAbstractItemView::PositionAtTop);
    refreshCount();
}

void TableTab::add()
{
    auto *dialog = new RecordDialog(
        m_db, m_table, tr("New %1").arg(noun(1)),
        [this](const DbRecord &r) {
            if (!model->addRecord(r))
                return false;
            view->scrollTo(model->index(model->rowCount() - 1, 0));
            view->selectRow(model->rowCount() - 1);
            return true;
        },
        this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void TableTab::deleteSelected()
{
    QList<int> rows;
    for (const QModelIndex &i : view->selectionModel()->selectedRows())
        rows << i.row();
    if (rows.isEmpty())
        return;
    QString text;
    if (rows.size() == 1) {
        const DbRecord r = model->recordAt(rows.first());
        if (m_table == MachineTables::Distributori)
            text = tr("Delete machine \"%1\" (%2)?")
                       .arg(r.value(QStringLiteral("Description")), r.value(QStringLiteral("GSM")));
        else
            text =
                tr("Delete %1 \"%2\"?").arg(noun(1), r.value(QStringLiteral("Name")));
    } else {
        text = tr("Delete %1?").arg(counted(m_table, int(rows.size())));
    }
    const QString referring = m_table == MachineTables::PuntiVendita ? QStringLiteral("Sale point")
                              : m_table == MachineTables::Operatori  ? QStringLiteral("Operator")
                                                                     : QString();
    if (!referring.isEmpty()) {
        int naming = 0;
        for (int row : rows)
            naming += model->machinesNaming(referring,
                                            model->recordAt(row).value(QStringLiteral("Name")));
        const QString sentence = rows.size() == 1
                                     ? (naming == 1 ? tr("\n%1 names it and keeps the name.")
                                                    : tr("\n%1 name it and keep the name."))
                                     : (naming == 1 ? tr("\n%1 names them and keeps the names.")
                                                    : tr("\n%1 name them and keep the names."));
        if (naming > 0)
            text += sentence.arg(counted(MachineTables::Distributori, naming));
    }
    if (m_dialogs.message(text, MsgButtons::YesNo, MsgIcon::Question) != MsgResult::Yes)
        return;
    if (model->deleteRows(rows))
        refreshCount();
}

void TableTab::importCsv()
{
    const QString path = m_dialogs.openFile(tr("Import %1").arg(noun(2)), csvFilter(),
                                            QFileInfo(m_db.path()).absolutePath());
    if (path.isEmpty())
        return;
    const QString file = QFileInfo(path).fileName();
    QByteArray csv;
    if (const QString why = DbCommand::readImportFile(path, DbCommand::DefaultImportLimit, &csv);
        !why.isEmpty()) {
        m_dialogs.message(tr("%1: %2").arg(file, why), MsgButtons::Ok,
                          MsgIcon::Critical);
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const TableIo::ImportPlan plan = TableIo::plan(m_db, m_table, csv);
    QApplication::restoreOverrideCursor();
    if (!plan.fileError.isEmpty()) {
        m_dialogs.message(tr("%1: %2.").arg(file, plan.fileError), MsgButtons::Ok,
                          MsgIcon::Exclamation);
        return;
    }
    if (!plan.problems.isEmpty()) {
        const QString head = tr("%1 of %2 rows of %3 are invalid:\n%4\n\n")
                                 .arg(plan.problems.size())
                                 .arg(plan.rowsRead)
                                 .arg(file, listed(plan.problems));
        if (plan.valid.isEmpty()) {
            m_dialogs.message(head + tr("Nothing was imported."), MsgButtons::Ok,
                              MsgIcon::Exclamation);
            return;
        }
        if (m_dialogs.message(head + tr("Import the %1 valid rows and skip the "
                                        "invalid ones?")
                                         .arg(plan.valid.size()),
                              MsgButtons::YesNo, MsgIcon::Exclamation) != MsgResult::Yes)
            return;
    }
    QString error;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = TableIo::apply(m_db, plan, true, &error);
    QApplication::restoreOverrideCursor();
    if (!ok) {
        m_dialogs.message(tr("%1: nothing was imported: %2").arg(file, error),
                          MsgButtons::Ok, MsgIcon::Critical);
        return;
    }
    QString ignored;
    for (const QString &w : plan.warnings)
        ignored += QLatin1Char('\n') + w.left(1).toUpper() + w.mid(1) + QLatin1Char('.');
    reload();
    m_dialogs.message(tr("%1: %2 added, %3 updated.")
                          .arg(file)
                          .arg(plan.additions())
                          .arg(plan.updates()) +
                          ignored,
                      MsgButtons::Ok, MsgIcon::Information);
}

void TableTab::exportCsv()
{
    const QString path = m_dialogs.saveFile(tr("Export %1").arg(noun(2)), csvFilter(),
                                            QFileInfo(m_db.path()).absolutePath(),
                                            QStringLiteral("%1.csv").arg(TableIo::nameOf(m_table)));
    if (path.isEmpty())
        return;
    OutputFile out(path);
    int rows = 0;
    QString error;
    if (!out.open() || !TableIo::exportTable(m_db, m_table, out.device(), &rows, &error) ||
        !out.commit()) {
        m_dialogs.message(tr("%1: %2").arg(QFileInfo(path).fileName(),
                                                       error.isEmpty() ? out.errorString() : error),
                          MsgButtons::Ok, MsgIcon::Critical);
        return;
    }
    m_dialogs.message(tr("%1 written to %2.")
                          .arg(counted(m_table, rows), QFileInfo(path).fileName()),
                      MsgButtons::Ok, MsgIcon::Information);
}

// --- EventsTab ---

EventsTab::EventsTab(SqlMachineDb &db, Dialogs &dialogs, QWidget *parent)
    : QWidget(parent), m_dialogs(dialogs)
{
    model = new EventsModel(db, this);
    view = new QTableView(this);
    view->setModel(model);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUpView(view, Qt::DescendingOrder);
    view->setColumnWidth(2, 320); // the message

    const auto line = [this](const char *placeholder) {
        auto *edit = new QLineEdit(this);
        edit->setPlaceholderText(tr(placeholder));
        edit->setClearButtonEnabled(true);
        connect(edit, &QLineEdit::textChanged, this, &EventsTab::applyFilter);
        return edit;
    };
    machineFilter = line(QT_TR_NOOP("Machine or GSM number"));
    salePointFilter = line(QT_TR_NOOP("Sale point"));
    operatorFilter = line(QT_TR_NOOP("Operator"));
    searchBox = line(QT_TR_NOOP("Search"));
    const auto date = [this](const char *caption, QCheckBox *&check, QDateEdit *&edit) {
        check = new QCheckBox(tr(caption), this);
        edit = new QDateEdit(QDate::currentDate(), this);
        edit->setDisplayFormat(QStringLiteral("dd/MM/yy"));
        edit->setCalendarPopup(true);
        edit->setEnabled(false);
        connect(check, &QCheckBox::toggled, edit, &QWidget::setEnabled);
        connect(check, &QCheckBox::toggled, this, &EventsTab::applyFilter);
        connect(edit, &QDateEdit::dateChanged, this, &EventsTab::applyFilter);
    };
    date(QT_TR_NOOP("From"), fromCheck, fromDate);
    date(QT_TR_NOOP("To"), toCheck, toDate);
    exportButton = new QPushButton(tr("Export..."), this);
    countLabel = new QLabel(this);
    stateFilter = new QComboBox(this);
    stateFilter->addItem(tr("All events"), int(EventsModel::State::Any));
    stateFilter->addItem(tr("Waiting for OK"), int(EventsModel::State::Pending));
    stateFilter->addItem(tr("Acknowledged"), int(EventsModel::State::Acknowledged));
    connect(stateFilter, &QComboBox::currentIndexChanged, this, &EventsTab::applyFilter);
    // The mark shows as "waiting" in "Acknowledged"; every new query shows all columns again.
    const auto hideMark = [this] {
        view->setColumnHidden(
            int(MachineTables::fields(MachineTables::Eventi).indexOf(QStringLiteral("Pending"))),
            true);
    };
    hideMark();
    connect(model, &QAbstractItemModel::modelReset, this, hideMark);

    auto *filters = new QHBoxLayout;
    for (QWidget *w :
         {static_cast<QWidget *>(machineFilter), static_cast<QWidget *>(salePointFilter),
          static_cast<QWidget *>(operatorFilter)})
        filters->addWidget(w, 1);
    for (QWidget *w : {static_cast<QWidget *>(stateFilter), static_cast<QWidget *>(fromCheck),
                       static_cast<QWidget *>(fromDate), static_cast<QWidget *>(toCheck),
                       static_cast<QWidget *>(toDate)})
        filters->addWidget(w);
    auto *bar = new QHBoxLayout;
    bar->addWidget(searchBox, 1);
    bar->addWidget(exportButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addLayout(filters);
    layout->addWidget(view, 1);
    layout->addWidget(countLabel);
    connect(exportButton, &QPushButton::clicked, this, &EventsTab::exportCsv);
    refreshCount();
}

void EventsTab::applyFilter()
{
    EventsModel::Filter f;
    f.state = EventsModel::State(stateFilter->currentData().toInt());
    f.machine = machineFilter->text().trimmed();
    f.salePoint = salePointFilter->text().trimmed();
    f.operatorName = operatorFilter->text().trimmed();
    f.search = searchBox->text().trimmed();
    f.from = fromCheck->isChecked() ? fromDate->date() : QDate();
    f.to = toCheck->isChecked() ? toDate->date() : QDate();
    model->setEventFilter(f);
    refreshCount();
}

void EventsTab::refreshCount()
{
    const int total = model->totalRows();
    if (model->eventFilter() == EventsModel::Filter())
        countLabel->setText(counted(MachineTables::Eventi, total));
    else
        countLabel->setText(tr("%1 of %2")
                                .arg(model->matchingRows())
                                .arg(counted(MachineTables::Eventi, total)));
}

void EventsTab::exportCsv()
{
    const QString path = m_dialogs.saveFile(tr("Export events"), csvFilter(), QString(),
                                            QStringLiteral("events.csv"));
    if (path.isEmpty())
        return;
    OutputFile out(path);
    int rows = 0;
    QString error;
    if (!out.open() || !model->exportCsv(out.device(), &rows, &error) || !out.commit()) {
        m_dialogs.message(tr("%1: %2").arg(QFileInfo(path).fileName(),
                                                       error.isEmpty() ? out.errorString() : error),
                          MsgButtons::Ok, MsgIcon::Critical);
        return;
    }
    m_dialogs.message(tr("%1 written to %2.")
                          .arg(counted(MachineTables::Eventi, rows), QFileInfo(path).fileName()),
                      MsgButtons::Ok, MsgIcon::Information);
}

// --- CollectionsTab ---

namespace {
QString countedRows(CollectionsModel::Kind kind, int n)
{
    QString out = kind == CollectionsModel::Kind::Requests
                      ? QCoreApplication::translate("FrmDb", "%n request(s)", nullptr, n)
                      : QCoreApplication::translate("FrmDb", "%n attempt(s)", nullptr, n);
    return out.replace(QLatin1String("(s)"), n == 1 ? QString() : QStringLiteral("s"));
}

void showCount(QLabel *label, const CollectionsModel *model)
{
    if (!model->lastErrorText().isEmpty()) {
        label->setText(QCoreApplication::translate("FrmDb", "The collections cannot be read: %1")
                           .arg(model->lastErrorText()));
        return;
    }
    const QString total = countedRows(model->kind(), model->totalRows());
    if (model->collectionsFilter() == CollectionsFilter())
        label->setText(total);
    else
        label->setText(
            QCoreApplication::translate("FrmDb", "%1 of %2").arg(model->matchingRows()).arg(total));
}
} // namespace

CollectionsTab::CollectionsTab(SqlMachineDb &db, QWidget *parent) : QWidget(parent), m_db(db)
{
}

void CollectionsTab::build()
{
    requests = new CollectionsModel(m_db, CollectionsModel::Kind::Requests, m_clock, this);
    attempts = new CollectionsModel(m_db, CollectionsModel::Kind::Attempts, m_clock, this);
    // Widths for what the columns hold: numbers, names, times; the last column stretches.
    const auto table = [this](CollectionsModel *model, const QList<int> &widths) {
        auto *view = new QTableView(this);
        view->setModel(model);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        setUpView(view, Qt::DescendingOrder);
        const int em = view->fontMetrics().horizontalAdvance(QLatin1Char('0'));
        for (int c = 0; c < widths.size(); ++c)
            view->setColumnWidth(c, widths[c] * em);
        return view;
    };
    requestsView = table(requests, {12, 18, 7, 19, 10, 46, 8});
    attemptsView = table(attempts, {12, 18, 8, 11, 19, 19, 21, 30});

    machineFilter = new QLineEdit(this);
    machineFilter->setPlaceholderText(tr("Machine or GSM number"));
    machineFilter->setClearButtonEnabled(true);
    stateFilter = new QComboBox(this);
    using State = CollectionsFilter::State;
    stateFilter->addItem(tr("All requests"), int(State::Any));
    stateFilter->addItem(tr("Pending only"), int(State::Pending));
    stateFilter->addItem(tr("Waiting"), int(State::Waiting));
    stateFilter->addItem(tr("Claimed"), int(State::Claimed));
    stateFilter->addItem(tr("Completed"), int(State::Completed));
    stateFilter->addItem(tr("Given up"), int(State::GivenUp));
    outcomeFilter = new QComboBox(this);
    outcomeFilter->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    refreshButton = new QPushButton(tr("Refresh"), this);
    requestsCount = new QLabel(this);
    attemptsCount = new QLabel(this);
    listOutcomes();

    auto *bar = new QHBoxLayout;
    bar->addWidget(machineFilter, 1);
    bar->addWidget(stateFilter);
    bar->addWidget(outcomeFilter);
    bar->addWidget(refreshButton);
    const auto pane = [this](const QString &caption, QTableView *view, QLabel *count) {
        auto *box = new QWidget(this);
        auto *layout = new QVBoxLayout(box);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(new QLabel(caption, box));
        layout->addWidget(view, 1);
        layout->addWidget(count);
        return box;
    };
    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(pane(tr("Queue"), requestsView, requestsCount));
    split->addWidget(pane(tr("Attempts"), attemptsView, attemptsCount));
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(split, 1);

    connect(machineFilter, &QLineEdit::textChanged, this, &CollectionsTab::applyFilter);
    connect(stateFilter, &QComboBox::currentIndexChanged, this, &CollectionsTab::applyFilter);
    connect(outcomeFilter, &QComboBox::currentIndexChanged, this, &CollectionsTab::applyFilter);
    connect(refreshButton, &QPushButton::clicked, this, &CollectionsTab::refresh);
    connect(requestsView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CollectionsTab::showAttemptsOfSelected);
}

void CollectionsTab::listOutcomes()
{
    const QSignalBlocker quiet(outcomeFilter);
    const QString chosen = outcomeFilter->currentData().toString();
    outcomeFilter->clear();
    outcomeFilter->addItem(tr("All outcomes"), QString());
    outcomeFilter->addItem(tr("Unfinished"), CollectionsFilter::Unfinished);
    QStringList words = attempts->outcomesOnFile();
    // The one chosen stays, though no attempt has it any more.
    if (!chosen.isEmpty() && chosen != CollectionsFilter::Unfinished && !words.contains(chosen))
        words << chosen;
    for (const QString &w : std::as_const(words))
        outcomeFilter->addItem(CollectionsModel::outcomeShown(w), w);
    outcomeFilter->setCurrentIndex(std::max(0, outcomeFilter->findData(chosen)));
}

void CollectionsTab::applyFilter()
{
    CollectionsFilter f;
    f.machine = machineFilter->text().trimmed();
    f.state = CollectionsFilter::State(stateFilter->currentData().toInt());
    f.outcome = outcomeFilter->currentData().toString();
    requests->setCollectionsFilter(f);
    attempts->setCollectionsFilter(f);
    showCount(requestsCount, requests);
    showCount(attemptsCount, attempts);
}

void CollectionsTab::showAttemptsOfSelected()
{
    CollectionsFilter f = requests->collectionsFilter();
    const QModelIndexList rows = requestsView->selectionModel()->selectedRows();
    f.request = rows.size() == 1 ? requests->requestAt(rows.first().row()) : 0;
    attempts->setCollectionsFilter(f);
    showCount(attemptsCount, attempts);
}

void CollectionsTab::refresh()
{
    if (!requests)
        build();
    listOutcomes();
    applyFilter();
}

// --- FrmDb ---

FrmDb::FrmDb(SqlMachineDb &db, Dialogs &dialogs, QWidget *parent) : QWidget(parent)
{
    setWindowTitle(tr("Machine database - %1")
                       .arg(QDir::toNativeSeparators(QFileInfo(db.path()).absoluteFilePath())));
    tabs = new QTabWidget(this);
    machines = new TableTab(db, dialogs, MachineTables::Distributori, this);
    salePoints = new TableTab(db, dialogs, MachineTables::PuntiVendita, this);
    operators = new TableTab(db, dialogs, MachineTables::Operatori, this);
    events = new EventsTab(db, dialogs, this);
    collections = new CollectionsTab(db, this);
    tabs->addTab(machines, tr("Machines"));
    tabs->addTab(salePoints, tr("Sale points"));
    tabs->addTab(operators, tr("Operators"));
    tabs->addTab(events, tr("Events"));
    tabs->addTab(collections, tr("Collections"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    // A renamed sale point or operator is renamed in its machines too.
    connect(salePoints, &TableTab::machinesRenamed, machines, &TableTab::reload);
    connect(operators, &TableTab::machinesRenamed, machines, &TableTab::reload);
    // The station files events while the editor is open.
    connect(tabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (tabs->widget(index) == events)
            events->applyFilter();
        // Collectors work the queue while the editor is open.
        if (tabs->widget(index) == collections)
            collections->refresh();
    });
    resize(900, 600);
}
