#include "simulator.h"

#include "testwatchdog.h"

#include <QRegularExpression>
#include <httplib.h>

#include <sstream>
#include <stdexcept>

// The simulator prints "stats-sim listening on http://127.0.0.1:<port>" once it accepts requests.
Simulator::Simulator(const QStringList& extraArguments)
{
    m_process.setProgram(QStringLiteral(RACR_SIM_PATH));
    m_process.setArguments(QStringList{"--port", "0"} + extraArguments);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.setChildProcessModifier(endWithParent);
    m_process.start();
    if (!m_process.waitForStarted(10000))
        throw std::runtime_error("the simulator did not start: " + m_process.errorString().toStdString());
    static const QRegularExpression ready(QStringLiteral("listening on http://127\\.0\\.0\\.1:(\\d+)"));
    QByteArray seen;
    while (m_port == 0) {
        if (!m_process.waitForReadyRead(10000))
            throw std::runtime_error("the simulator never said it was ready: " + seen.toStdString()
                                     + m_process.readAllStandardError().toStdString());
        seen += m_process.readAllStandardOutput();
        const auto match = ready.match(QString::fromUtf8(seen));
        if (match.hasMatch())
            m_port = match.captured(1).toUShort();
    }
}

Simulator::~Simulator()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

QString Simulator::base() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

namespace {

// The counters from an answer of /status or /status/reset: "requests N\nconnections N\nmax-in-flight N\n".
SimulatorStatus parseStatus(const httplib::Result& result, const char* what)
{
    if (!result)
        throw std::runtime_error(std::string("the simulator did not answer ") + what + ": " + httplib::to_string(result.error()));
    if (result->status != 200)
        throw std::runtime_error(std::string("the simulator answered ") + what + " with HTTP " + std::to_string(result->status));
    SimulatorStatus status;
    std::istringstream lines(result->body);
    std::string name;
    int value = 0;
    int seen = 0;
    while (lines >> name >> value) {
        if (name == "requests")
            status.requests = value, ++seen;
        else if (name == "connections")
            status.connections = value, ++seen;
        else if (name == "max-in-flight")
            status.maxInFlight = value, ++seen;
    }
    if (seen != 3)
        throw std::runtime_error(std::string("the simulator's answer to ") + what + " lacks a counter: " + result->body);
    return status;
}

} // namespace

SimulatorStatus Simulator::status() const
{
    httplib::Client client("127.0.0.1", m_port);
    return parseStatus(client.Get("/status"), "GET /status");
}

void Simulator::resetStatus()
{
    httplib::Client client("127.0.0.1", m_port);
    parseStatus(client.Post("/status/reset"), "POST /status/reset");
}
