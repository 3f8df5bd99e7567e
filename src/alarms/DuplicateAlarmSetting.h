#pragma once

#include "core/QuillmereError.h"

namespace alarms {

// The database refused a row because its (Panel, ControllerNO) is stored already. message()
// is the database's key-violation text, for the general error handler; the key texts are for
// the "警報點重複設定" warning shown before it.
class DuplicateAlarmSetting : public QuillmereError
{
public:
    DuplicateAlarmSetting(const QString& message, QString panel, QString controllerNo)
        : QuillmereError(message), Panel(std::move(panel)), ControllerNO(std::move(controllerNo))
    {
    }
    QString Panel;
    QString ControllerNO;
};

} // namespace alarms
