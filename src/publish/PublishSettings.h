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
};

// Reads the file once; never writes it. A password is refused when others than the owner may
// read the file, as ssh refuses a private key that others can read.
PublishSettings readPublishSettings(const QString& path);

} // namespace publish
