#include "link/NativeSerialIo.h"

#include "core/Home.h"
#include "link/MonotonicClock.h"
#include "link/PosixTtySystem.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace comm {

QString portDevice(int portNumber, const QString& home)
{
    const QString mapped = home + QStringLiteral("/ports/COM") + QString::number(portNumber);
    if (QFileInfo(mapped).isSymLink() || QFileInfo::exists(mapped))
        return mapped;
    return QStringLiteral("/dev/ttyS") + QString::number(portNumber - 1);
}

NativeSerialIo::NativeSerialIo(QString home, std::unique_ptr<TtySystem> system)
    : m_home(std::move(home)), m_system(std::move(system))
{
    if (!m_system)
        m_system = std::make_unique<PosixTtySystem>();
}

NativeSerialIo::~NativeSerialIo()
{
    close();
}

SerialDevice* NativeSerialIo::find(const QString& path) const
{
    for (const auto& d : m_devices)
        if (d->path() == path)
            return d.get();
    return nullptr;
}

void NativeSerialIo::drop(SerialDevice* device)
{
    if (m_current == device)
        m_current = nullptr;
    std::erase_if(m_resolved, [device](const Resolved& r) { return r.device == device; });
    const auto it = std::find_if(m_devices.begin(), m_devices.end(),
                                 [device](const auto& d) { return d.get() == device; });
    if (it != m_devices.end())
        m_devices.erase(it); // closes it
}

void NativeSerialIo::dropIfGone()
{
    if (m_current && m_current->isGone()) {
        m_error = m_current->error();
        drop(m_current);
    }
}

SerialDevice* NativeSerialIo::stillLinked(int portNumber, const QString& home)
{
    for (const Resolved& r : m_resolved) {
        if (r.portNumber != portNumber || r.home != home)
            continue;
        // One stat instead of looking up and resolving the whole chain of links at every
        // transaction: a link that still exists is the port's name, and one that leads to
        // another device now falls through to the full resolution.
        struct stat st
        {
        };
        if (m_system->stat(r.link, &st) == 0 && S_ISCHR(st.st_mode) &&
            st.st_rdev == r.device->rdev())
            return r.device;
    }
    return nullptr;
}

bool NativeSerialIo::open(int portNumber, const SerialSettings& settings)
{
    m_current = nullptr;
    m_error.clear();
    const QString home = m_home.isEmpty() ? core::homeFolder() : m_home;
    if (SerialDevice* known = stillLinked(portNumber, home)) {
        if (known->startTransaction(settings)) {
            known->ports.insert(portNumber);
            m_current = known;
            return true;
        }
        m_error = known->error();
        const bool gone = known->isGone();
        drop(known);
        // Gone: perhaps back under its name already, which the full way below finds.
        if (!gone)
            return false;
    }
    const QString named = portDevice(portNumber, home);
    // The device itself, whatever links lead to it: two names of one adapter share it.
    const QString path = QFileInfo(named).canonicalFilePath();

    // A port number that named another device before (its link now points elsewhere) lets
    // go of it; the device closes when no port number names it any more.
    for (size_t i = m_devices.size(); i-- > 0;) {
        SerialDevice* d = m_devices[i].get();
        if (d->path() != path && d->ports.remove(portNumber) && d->ports.isEmpty())
            drop(d);
    }
    if (path.isEmpty()) {
        m_error = named + QLatin1String(": ") + QString::fromLocal8Bit(std::strerror(ENOENT));
        return false;
    }

    // Twice at most: a device kept from earlier transactions may have gone and come back
    // under its name (an adapter re-plugged), and then a fresh open finds it.
    for (int round = 0; round < 2; ++round) {
        SerialDevice* device = find(path);
        const bool fresh = device == nullptr;
        if (fresh) {
            if (const Refusal* refusal = recentRefusal(path)) {
                m_error = refusal->error;
                return false;
            }
            auto opened = std::make_unique<SerialDevice>(*m_system, path);
            if (!opened->open()) {
                m_error = opened->error();
                if (opened->refused())
                    noteRefusal(path, m_error);
                return false;
            }
            device = opened.get();
            m_devices.push_back(std::move(opened));
        }
        device->ports.insert(portNumber);
        if (device->startTransaction(settings)) {
            m_current = device;
            std::erase_if(m_resolved,
                          [portNumber](const Resolved& r) { return r.portNumber == portNumber; });
            if (named.startsWith(home + QLatin1String("/ports/")))
                m_resolved.push_back(Resolved{portNumber, home, QFile::encodeName(named), device});
            return true;
        }
        m_error = device->error();
        const bool gone = device->isGone();
        drop(device);
        // Settings the port does not take: refused as well, until they change.
        if (fresh && !gone)
            noteRefusal(path, m_error);
        if (fresh || !gone)
            return false;
    }
    return false;
}

const NativeSerialIo::Refusal* NativeSerialIo::recentRefusal(const QString& path)
{
    constexpr qint64 RetryNs = 2'000'000'000;
    const qint64 now = monotonicNs();
    std::erase_if(m_refusals, [now](const Refusal& r) { return now - r.atNs >= RetryNs; });
    for (const Refusal& r : m_refusals)
        if (r.path == path)
            return &r;
    return nullptr;
}

void NativeSerialIo::noteRefusal(const QString& path, const QString& error)
{
    std::erase_if(m_refusals, [&path](const Refusal& r) { return r.path == path; });
    m_refusals.push_back({path, monotonicNs(), error});
}

int NativeSerialIo::write(QByteArrayView bytes, int timeoutMs)
{
    if (!m_current)
        return 0;
    const int n = m_current->write(bytes, monotonicNs() + qint64(timeoutMs) * 1'000'000);
    dropIfGone();
    return n;
}

QByteArray NativeSerialIo::read(int count, int timeoutMs)
{
    const qint64 deadline = monotonicNs() + qint64(timeoutMs) * 1'000'000;
    QByteArray block;
    if (m_current) {
        block = m_current->read(count, deadline);
        dropIfGone();
    }
    // Nothing to read from, or the port failed on the way: the attempt still costs its
    // timeout, so a dead line paces itself like a silent one.
    if (block.size() < count)
        sleepUntilNs(deadline);
    return block;
}

void NativeSerialIo::purgeInput()
{
    if (m_current) {
        m_current->purgeInput();
        dropIfGone();
    }
}

void NativeSerialIo::keepOnly(const QList<int>& portNumbers)
{
    for (size_t i = m_devices.size(); i-- > 0;) {
        SerialDevice* d = m_devices[i].get();
        for (const int n : QSet<int>(d->ports))
            if (!portNumbers.contains(n))
                d->ports.remove(n);
        std::erase_if(m_resolved, [&](const Resolved& r) {
            return r.device == d && !portNumbers.contains(r.portNumber);
        });
        if (d->ports.isEmpty())
            drop(d);
    }
}

void NativeSerialIo::close()
{
    m_current = nullptr;
    m_resolved.clear();
    m_devices.clear();
    m_refusals.clear();
}

void NativeSerialIo::closeHungUp()
{
    for (size_t i = m_devices.size(); i-- > 0;)
        if (m_devices[i]->checkHangUp())
            drop(m_devices[i].get());
}

} // namespace comm
