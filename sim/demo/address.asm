; Address table of the demonstration machines: names for data offsets of the audit image
; (offset 0 is the first byte after the length word), block by block in the order of the
; memory map. Type and address in brackets say where the machine keeps the value.
; Clock (type 0, 0008): second, minute, hour, day, month, year
CLOCK_MINUTE,1
CLOCK_HOUR,2
CLOCK_DAY,3
CLOCK_MONTH,4
CLOCK_YEAR,5
; Configuration header (type 1, 0030 and 0000)
MODEL,6
SERIAL,7
; Sales table since set-up (type 1, 32B6): 24-bit counters
SELECTION_VENDS_TOTAL,11
PAID_VALUE_TOTAL,179
PAID_VENDS_TOTAL,182
CASH_VALUE_TOTAL,185
CASH_VENDS_TOTAL,188
CARD_VALUE_TOTAL,191
COINS_TO_BOX_TOTAL,197
COINS_TO_TUBES_TOTAL,200
BILLS_TOTAL,203
CHANGE_TOTAL,206
MANUAL_PAYOUT_TOTAL,209
COINS_IN_BY_TYPE_TOTAL,212
COINS_TO_BOX_BY_TYPE_TOTAL,236
BILLS_BY_TYPE_TOTAL,260
; Sales table since the last erase (type 1, 3CAB)
SELECTION_VENDS,2560
PAID_VALUE,2672
PAID_VENDS,2675
CASH_VALUE,2678
CARD_VENDS,2680
MANUAL_PAYOUT,2682
; Coin mechanism (type 1, 0530) and bill validator (type 1, 0570)
COIN_VALUES,5114
COIN_MECH_ID,5130
BILL_VALUES,5178
BILL_FACTOR,5186
BILL_VALIDATOR_TYPE,5187
; Identification and currency (type 1, 0031 to 0049) and coin mechanism type (type 1, 03FA)
VARIANT,5307
OPTION,5308
BUILD,5309
PAYMENT,5310
LOCATION,5311
ASSET,5313
CURRENCY,5328
CURRENCY_CODE,5330
COIN_MECH_TYPE,5334
; Event block (type 1, 7980)
EVENT_NEWEST,5445
EVENT_LOG,5446
READS_WITH_RESET,5551
EVENTS_TOTAL,5553
EVENTS,5847
; Prices (type 1, 00D0), decimal places (0050), price flags (03F0), price lines (0806)
PRICES,6217
DECIMALS,6329
PRICE_FLAGS,6330
PRICE_LINES,6331
; Counters of the pointer block (type 2), since the last erase
CHANGE,6505
COINS_IN_BY_TYPE,6510
CASH_VENDS,6526
COINS_TO_BOX_BY_TYPE,6528
BILLS_BY_TYPE,6544
; Audit kind (type 1, 0402): 1 when the machine counts vends by selection
PRODUCT_AUDIT,6562
; Cash counters since the last erase (type 2, 0AA0 and 0ABA), time of the last erase (0B28)
COINS_IN,6602
COINS_TO_BOX,6605
COINS_TO_TUBES,6608
BILLS,6611
CARD_VALUE,6616
LAST_ERASE_MINUTE,6620
