// How a second start of the program brings the running window to the front: the copy that
// holds the single-instance lock listens on a local socket beside the lock; a second copy
// connects and sends "raise". The socket is open to the user only.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace plexivar::ui {

class RaiseServer : public QObject {
    Q_OBJECT
public:
    explicit RaiseServer(QObject* parent = nullptr);

    // Listens on `path`. A socket file left there by a copy that ended without removing it
    // is replaced: the caller holds the single-instance lock, so no live copy listens.
    bool Listen(const QString& path);

signals:
    void RaiseRequested();

private:
    QLocalServer server_;
};

// Asks the copy listening on `path` to raise its window. False when none answered within
// `timeoutMs`.
bool AskToRaise(const QString& path, int timeoutMs = 2000);

}  // namespace plexivar::ui
