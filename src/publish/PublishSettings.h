#pragma once

#include <QString>

namespace publish {

// What <home>/publish.ini asks for. `enabled` false with an empty `error`: not configured;
// with an error: configured wrongly, and nothing is published until the file is put right.
struct PublishSettings
{
    bool enabled = false;
    QString error; // "publish.ini: port: 'abc' is not a number"
    QString host;
    int port = 1883;
    QString prefix; // without a trailing "/"
    QString username;
    QString password;
    bool tls = false;
    QString cafile;
    int qos = 1;
    // Where alarms not yet delivered wait for the next start; empty: nowhere.
    QString queueFile;
};

// Reads the file once; never writes it. A value is taken as typed, between the first `=` and
// the end of the line, without the blanks around it; in double quotes it keeps those blanks
// too. A file that others can write is refused, and so is a password when others than the
// owner may read the file, as ssh refuses a private key that others can read.
PublishSettings readPublishSettings(const QString& path);

} // namespace publish
