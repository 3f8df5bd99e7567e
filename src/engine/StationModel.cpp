#include "engine/StationModel.h"

StationModel::StationModel()
{
    for (int m = 1; m <= MonitorCount; ++m)
        for (int s = 1; s <= SlotCount; ++s)
            station(m, s).StationId = (m - 1) * SlotCount + s;
    statistics.since = QDateTime::currentDateTime();
}
