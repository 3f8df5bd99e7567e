#pragma once

#include "../unit/FakeLine.h"
#include "app/StartUp.h"
#include "engine/TCommController.h"

#include <memory>

// An engine over a line with no port behind it: the windows start and poll without any serial
// device being touched. `log` outlives the engine.
inline std::unique_ptr<TCommController> portlessEngine(FakeLine::Log* log)
{
    auto* line = new FakeLine(log);
    line->portExists = false;
    return std::make_unique<TCommController>(
        std::make_unique<TRs485Comm>(std::unique_ptr<comm::SerialIo>(line)));
}

// The program's own start with such an engine.
inline StartOptions portlessStart(FakeLine::Log* log, const QString& pictureFolder = {})
{
    StartOptions options;
    options.makeEngine = [log] { return portlessEngine(log); };
    options.pictureFolder = pictureFolder;
    return options;
}
