#include "simulator.h"

#include <QRegularExpression>
#include <stdexcept>

// The simulator prints "stats-sim listening on http://127.0.0.1:<port>" once it accepts requests.
Simulator::Simulator(const QStringList& extraArguments)
{
    m_process.setProgram(QStringLiteral(RACR_SIM_PATH));
    m_process.setArguments(QStringList{"--port", "0"} + extraArguments);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
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
