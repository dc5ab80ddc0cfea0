#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QSet>
#include <QString>
#include <array>

class SqlMachineDb;

// The call console's machine directory: one row per record of `Distributori`, in record order,
// with the columns "Vending machine" (Description), "Gsm number" (GSM) and "Sale point". Filling
// reads only which records there are; a record's fields are read in pages of PageSize rows when a
// view first asks for them, so a fleet of 100,000 machines is listed at once and the scroll bar is
// right from the start. Show it in a view with uniform row heights (QTreeView with
// setUniformRowHeights) so that the view does not measure every row either.
class MachineListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Description, Gsm, SalePoint, ColumnCount };
    static constexpr int PageSize = 256;
    // The columns' widths in twips, as the console lays them out.
    static constexpr std::array<int, ColumnCount> ColumnTwips{2500, 1600, 2000};

    explicit MachineListModel(QObject *parent = nullptr);

    // Lists the machines of db, which must stay open while the model is used. False (and an
    // empty list) when the table cannot be read. Changes made to the file afterwards show only
    // in rows not yet shown, or after the next fill.
    bool fill(SqlMachineDb &db);
    void clear();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    QString text(int row, Column column) const;
    // The last row whose GSM number equals number exactly, or -1.
    int lastRowWithGsm(const QString &number) const;
    // A machine connected to the station and waiting for a call: its description is shown
    // marked, while text() stays the record's own.
    void setOnline(const QString &number, bool online);
    static inline const QString OnlineMark = QStringLiteral(" (online)");

private:
    using Row = std::array<QString, ColumnCount>;
    const Row &row(int index) const;

    SqlMachineDb *m_db = nullptr;
    QList<qint64> m_rowids;
    QSet<QString> m_online;
    mutable QList<QList<Row>> m_pages; // empty until first read
};
