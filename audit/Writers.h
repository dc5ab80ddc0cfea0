#pragma once

#include "Record.h"

// One writer per record keyword, named after it. Twins whose lines are the same (EA3_, ID5_,
// PA2V_, ...) share their twin's writer in the dispatch table.
namespace audit::writers {

// Cash, coin, card and token records
void CA1(Record &r);
void CA1_(Record &r);
void CA2(Record &r);
void CA2_(Record &r);
void CA3(Record &r);
void CA3_(Record &r);
void CA4(Record &r);
void CA4_(Record &r);
void CA7(Record &r);
void CA7_(Record &r);
void CA8(Record &r);
void CA8_(Record &r);
void CA9(Record &r);
void CA9_(Record &r);
void CA10(Record &r);
void CA10_(Record &r);
void CA11(Record &r);
void CA11_(Record &r);
void CA13(Record &r);
void CA14(Record &r);
void CA14_(Record &r);
void CA15(Record &r);
void CA15_(Record &r);
void DA1(Record &r);
void DA2(Record &r);
void DA2_(Record &r);
void DA4(Record &r);
void DA4_(Record &r);
void DA5(Record &r);
void DA5_(Record &r);
void TA1(Record &r);
void TA1_(Record &r);
void TA2(Record &r);
void TA2_(Record &r);
void TA3(Record &r);
void TA3_(Record &r);
void TA5(Record &r);
void TA5_(Record &r);
void TA7(Record &r);
void TA7_(Record &r);
void TA10(Record &r);
void VA1(Record &r);
void VA1_(Record &r);
void VA2(Record &r);
void VA2_(Record &r);
void VA3(Record &r);
void VA3_(Record &r);

// Identification and event records
void EA1(Record &r);
void EA2(Record &r);
void EA2_BIT(Record &r);
void EA2_BYTE(Record &r);
void EA2_fallback(Record &r);
void EA3(Record &r);
void EA6(Record &r);
void EA7(Record &r);
void EA7_(Record &r);
void ID1(Record &r);
void ID1_(Record &r);
void ID4(Record &r);
void ID4_(Record &r);
void ID5(Record &r);
void ID7(Record &r);

// Product and ingredient records
void PA1(Record &r);
void PA1_(Record &r);
void PA1V(Record &r);
void PA1V_(Record &r);
void PA1V_50(Record &r);
void PA1W(Record &r);
void PA2(Record &r);
void PA2_(Record &r);
void PA3(Record &r);
void PA3_(Record &r);
void PA4(Record &r);
void PA4_(Record &r);
void PA2V(Record &r);
void PA3V(Record &r);
void PA4V(Record &r);
void PA2W(Record &r);
void PA3W(Record &r);
void PA4W(Record &r);
void PA5(Record &r);
void PA5V(Record &r);
void PA5W(Record &r);
void PA6(Record &r);
void PA10_(Record &r);
void PA11(Record &r);
void PA11_(Record &r);
void SA1(Record &r);
void SA1G(Record &r);
void SA1B(Record &r);
void SA1V(Record &r);
void SA1W(Record &r);

} // namespace audit::writers
