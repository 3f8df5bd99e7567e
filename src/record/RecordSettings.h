#pragma once

#include <QString>

namespace record {

// The record settings the main window keeps, taken over from the record dialog on OK. The
// indexes are those of the dialog's lists.
struct RecordSettings
{
    bool RecordEnabled = false;
    int RecordSampleTime = 10;
    int RecordSampleUnit = 0; // 0 "Sec", 1 "Minute"
    int RecordSaveUnit = 0;   // 0 "Hour", 1 "Day"
    int RecordFileType = 0;   // 0 ".TXT ", 1 ".XLS "
    QString RecordFolder;
};

} // namespace record
