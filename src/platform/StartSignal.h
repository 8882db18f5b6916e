#pragma once
// The local server's start signal. The server, once it has loaded its corpus, writes
// the file "Started" into the user data folder and the value "Started" = "TRUE" into
// the start-signal store; the client clears both at start-up (local mode) and then
// polls them once a second until one of them says the server has started.
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace platform {

// Stand-in for the machine-wide registry key "\Software\VELTA": section "VELTA" of a
// small INI file, by default $XDG_CONFIG_HOME/VELTA/registry.ini. Every call opens the
// file anew (other processes write it); a call that cannot open, read or write it
// reports failure and counts as one failed attempt for the caller.
class StartSignalStore {
public:
    explicit StartSignalStore(QString path = defaultPath());
    virtual ~StartSignalStore() = default;

    // The generic config location + "/VELTA/registry.ini".
    static QString defaultPath();
    QString path() const { return m_path; }

    // Whether the key exists: the file holds the section "VELTA".
    virtual bool keyExists() const;
    // The value "Started"; nullopt when the store cannot be read. A missing value
    // reads as an empty text.
    virtual std::optional<QString> readStarted() const;
    // Writes "Started" (creating the file and its folder); false on failure.
    virtual bool writeStarted(const QString &value);

private:
    QString m_path;
};

// The client's side: the reset at start-up and the check of each tick of the
// start-signal timer, sharing one attempt counter. Each attempt to open the store
// counts; the reset gives up after ResetAttemptLimit attempts in all, one tick after
// TickAttemptLimit attempts, and the waiting as a whole once the counter exceeds
// GiveUpLimit.
//
// A failed attempt is retried at once unless a retry pause is set. The store's
// failures (permissions, a directory in the file's place) do not go away by waiting,
// QSettings already serialises concurrent writers with its own lock file, and the
// check runs on the user-interface thread, where a pause would freeze the window.
class StartSignal {
public:
    static constexpr int ResetAttemptLimit = 100;
    static constexpr int TickAttemptLimit = 1000;
    static constexpr int GiveUpLimit = 10000;

    enum class TickResult { Waiting, Started, GaveUp };

    // store: null means the default store.
    explicit StartSignal(QString userDataFolder,
                         std::shared_ptr<StartSignalStore> store = nullptr, int attempts = 0);

    // The file "Started" in a user data folder (which ends with "/").
    static QString startedFilePath(const QString &userDataFolder);

    // Start-up in the local mode: deletes the file "Started" and writes "FALSE" to the
    // store, retrying failed attempts within the reset's bound. True when written.
    bool reset();

    // One tick of the start-signal timer. Started: the file exists or the store says
    // "TRUE". GaveUp: not started and the counter has passed GiveUpLimit. The caller
    // stops its timer on either and restarts the local link.
    TickResult tick();

    int attempts() const { return m_attempts; }
    void setAttempts(int attempts) { m_attempts = attempts; }
    // Called after each failed attempt (for example a short sleep); none by default.
    void setRetryPause(std::function<void()> pause) { m_pause = std::move(pause); }

    // The server's side: writes the file "Started" and "Started" = "TRUE" in the
    // store. True when at least one of the two was written (either one is enough
    // for the client to see it).
    static bool signalStarted(const QString &userDataFolder,
                              std::shared_ptr<StartSignalStore> store = nullptr);

private:
    void failedAttempt();

    QString m_userDataFolder;
    std::shared_ptr<StartSignalStore> m_store;
    int m_attempts = 0;
    std::function<void()> m_pause;
};

} // namespace platform
