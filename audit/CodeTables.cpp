#include "CodeTables.h"

#include <utility>

namespace audit {

namespace {

constexpr int EventCount = 147;

constexpr std::pair<int, const char *> NamedEvents[] = {
    {0, "ECM"},     {1, "EAR"},     {2, "ECF"},      {3, "ECE"},      {4, "EAJ"},
    {5, "EC1C"},    {6, "EC2C"},    {7, "EDP"},      {8, "EBB"},      {9, "EDF_1"},
    {10, "ECA"},    {11, "ECK"},    {12, "EGN"},     {32, "EBI"},     {33, "ELA"},
    {48, "EDF_2"},  {49, "EEJ"},    {50, "EDJ_P"},   {51, "EDJ_GR"},  {52, "EBJ"},
    {53, "EFB"},    {54, "EDO_1"},  {55, "OAR"},     {56, "EFI"},     {57, "EEL"},
    {58, "EDO_2"},  {59, "EDZ"},    {60, "EEC_ES1"}, {61, "EEC_FB1"}, {62, "EEC_FB2"},
    {63, "ED1A"},   {64, "EEG"},    {66, "EFE"},     {80, "EFN_1"},   {81, "EEK"},
    {82, "EDT_1"},  {83, "EDU_1"},  {84, "EDT_2"},   {85, "EDU_2"},   {86, "EFN_2"},
    {87, "ELC"},    {88, "EDM_1"},  {89, "EDM_2"},   {90, "EH1A"},    {104, "EJK_A"},
    {105, "EJJ_A"}, {106, "EJL_A"}, {107, "EJM_A"},  {108, "ECA_A"},  {109, "ECE_A"},
    {128, "EJK_B"}, {129, "EJJ_B"}, {130, "EJL_B"},  {131, "EJM_B"},  {132, "ECA_B"},
    {133, "ECE_B"}, {144, "ECQ"},   {145, "EJB_A"},  {146, "EJB_B"},
};

constexpr const char *Details[] = {
    "_O01P01", "_O01P02", "_O01P03", "_O01P04", "_O01P05", "_O01P06", "_O01P07", "_O05P02",
    "_O02P01", "_O02P02", "_O02P03", "_O02P04", "_O02P05", "_O02P06", "_O02P07", "_O05P03",
    "_O03P02", "_O03P03", "_O03P04", "_O03P05", "_O03P06", "_O03P07", "_O05P04", "_O05P05",
    "_O12P02", "_O12P03", "_O12P04", "_O12P05", "_O12P06", "_O12P07", "_O00P00", "_O13P00",
    "_O17P32", "_O17P33", "_O17P34", "_O17P35", "_O17P36", "_O17P37", "_O00P00", "_O18P00",
};

constexpr int SelectionRows = 6;
constexpr int SelectionsPerRow = 8;
constexpr int ProductCount = 30;

} // namespace

void FillCodeTables(CodeTables &tables)
{
    tables.EventIds = QList<QByteArray>(EventCount);
    for (const auto &[number, id] : NamedEvents)
        tables.EventIds[number] = id;

    tables.EventDetails.clear();
    for (const char *detail : Details)
        tables.EventDetails.append(detail);

    tables.SelectionCodes.clear();
    for (int row = 1; row <= SelectionRows; ++row)
        for (int column = 1; column <= SelectionsPerRow; ++column)
            tables.SelectionCodes.append(QByteArray::number(row * 10 + column));

    tables.ProductNumbers.clear();
    for (int product = 1; product <= ProductCount; ++product)
        tables.ProductNumbers.append(QByteArray::number(product).rightJustified(2, '0'));
}

} // namespace audit
