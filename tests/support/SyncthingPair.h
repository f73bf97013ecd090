#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QString>

#include <array>
#include <memory>

// Two Syncthing instances on this machine sharing one folder over 127.0.0.1, standing in for
// two machines that share a pad. Nothing leaves the loopback: discovery, relays, NAT
// traversal, usage and crash reporting and upgrades are off.
class SyncthingPair
{
public:
    enum Machine { A, B };

    static constexpr char Program[] = "syncthing";
    static constexpr char Package[] = "syncthing";
    static constexpr char FolderId[] = "pad";
    static constexpr int FolderWatcherDelaySeconds = 1;
    static constexpr int RescanIntervalSeconds = 2;
    static constexpr int ReconnectIntervalSeconds = 1;
    // Making keys, starting and connecting take seconds on a busy machine.
    static constexpr int StartTimeoutMs = 60000;

    SyncthingPair();
    ~SyncthingPair();
    SyncthingPair(const SyncthingPair &) = delete;
    SyncthingPair &operator=(const SyncthingPair &) = delete;

    // Makes both homes and folders under dir, starts both and waits until they are
    // connected; returns an error text, empty on success.
    QString start(const QString &dir);

    QString folder(Machine machine) const;
    QString folderA() const { return folder(A); }
    QString folderB() const { return folder(B); }
    QString configPath(Machine machine) const;
    QString logPath(Machine machine) const;

    // Ends one instance (its own process only); startOne starts it again and waits until
    // the two are connected. Both return an error text, empty on success.
    QString stopOne(Machine machine);
    QString startOne(Machine machine);

    // Whether the file exists in both folders with the same bytes before the deadline.
    bool waitSame(const QString &fileName, QDeadlineTimer deadline) const;

    // Ends both instances.
    void stop();

private:
    QString home(Machine machine) const;
    QString writeConfig(Machine machine, const std::array<QString, 2> &ids, const std::array<quint16, 4> &ports);
    bool connected(Machine machine) const;

    QString m_dir;
    std::array<std::unique_ptr<QProcess>, 2> m_processes;
    std::array<int, 2> m_starts{};
};
