#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// What the simulator saw since it started or since resetStatus(): see GET /status in stats-sim.
struct SimulatorStatus {
    int requests = 0;
    int connections = 0;
    int maxInFlight = 0;
};

// The statistics service simulator, started on a free port for one test and stopped with it.
class Simulator {
public:
    explicit Simulator(const QStringList& extraArguments = {});
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    quint16 port() const { return m_port; }
    QString base() const;   // "http://127.0.0.1:<port>", the service base to hand to the client
    SimulatorStatus status() const;
    void resetStatus();

private:
    QProcess m_process;
    quint16 m_port = 0;
};
