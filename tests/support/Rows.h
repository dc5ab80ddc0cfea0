#pragma once

#include <QTest>
#include <tuple>

// A data table of one tuple column, its cells named once where a test unpacks them:
//   using Case = Rows<QString, int>;
//   in case_data(): const auto row = Case::table(); row("tag", "a", 1);
//   in case():      const auto [text, count] = Case::fetch();
// Fetching with cell types other than the table's stops the test program, naming both.
template <typename... Cells> struct Rows
{
    using Row = std::tuple<Cells...>;
    // Declares the column; hands back the function that adds a row.
    static auto table()
    {
        QTest::addColumn<Row>("row");
        return &add;
    }
    static void add(const char *tag, const Cells &...cells) { QTest::newRow(tag) << Row(cells...); }
    static Row fetch() { return *static_cast<Row *>(QTest::qData("row", qMetaTypeId<Row>())); }
};
