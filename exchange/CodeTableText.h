#pragma once
// The reader of the code-table update files (DFJHXX.TXT, ZTFL.TXT, XKFL.TXT,
// LSBW.TXT): the package members' reader, except that a record must carry
// exactly one value per column of the table. A line that does not would
// load shifted into the wrong columns.
#include "ImportTxtRecord.h"

inline constexpr TxtRecordReader ImportCodeTxtRecord{98, true};
