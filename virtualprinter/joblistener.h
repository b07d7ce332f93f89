// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>

#include <memory>
#include <optional>

// Where a network printer listens: "--tcp [HOST:]PORT", an IPv6 HOST in brackets.
struct ListenAddress
{
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = 9100;

    // Reads "9100", "0.0.0.0:9100", "[::1]:9100"; nullopt with the reason in `error`.
    static std::optional<ListenAddress> parse(const QString &text, QString *error);
};

// The printer's network port by the raw "port 9100" convention: a listening TCP socket where
// each connection is one print job, its bytes as on the parallel port. One job at a time: a
// connection that comes during a job waits in the backlog, as long as the system allows
// (SOMAXCONN), until the jobs before it are over.
class JobListener : public QObject
{
    Q_OBJECT

public:
    // Listens on the address (port 0: any free port); nullptr with the reason in `error`.
    static std::unique_ptr<JobListener> listen(const ListenAddress &address, QString *error);
    ~JobListener() override;

    // "socket://127.0.0.1:9100", with the port really taken.
    QByteArray url() const { return m_url; }
    // The job is over: take the next connection (unless paused).
    void resume() { m_notifier.setEnabled(!m_paused); }
    // The printer is stopping: no connection is taken any more.
    void pause()
    {
        m_paused = true;
        m_notifier.setEnabled(false);
    }

signals:
    // A job's connection; its descriptor is now the receiver's. No other job arrives until
    // resume().
    void jobArrived(int fd);

private:
    JobListener(int fd, QByteArray url);
    void acceptOne();

    int m_fd;
    QByteArray m_url;
    QSocketNotifier m_notifier;
    bool m_paused = false;
};
