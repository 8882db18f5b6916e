#pragma once
// The newer client that the server hands out (--update-dir). The folder holds the
// client executable "Lexar", the updater "LexarE" and "VERSION", the version text they
// carry ("1.4.13.0"). It is read once at start: the replies to "CL_E" and "CL_B" are
// composed then, so every client gets one consistent pair of files however the folder
// changes later; a new version is published by restarting the server.
//
// A remote client that registered with an older version gets the mark "U" on every
// reply. The local link does not carry updates: its byte-pair encoding doubles the
// files and its receiver drops trailing blanks, which would damage an executable.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <memory>

namespace update {

// The version text at the front of a registration ("1.4.12.0Пользователь"): its
// leading digits and dots.
QByteArray versionPrefix(const QByteArray &registration);

// Compares dotted numbers component by component, numerically (leading zeros
// ignored, any length); a missing or empty component counts as 0, so "1.4" equals
// "1.4.0". Negative, zero or positive like strcmp. Written out rather than left to
// QVersionNumber, which reads a component as an int and stops at a longer one
// ("1.99999999999999999999999" would read as "1", older than "1.4").
int compareVersions(QByteArrayView a, QByteArrayView b);

// A composed reply ("##" count "###" "$TAG=" body) with `mark` right before the "$",
// the count grown by one. A reply without a length header gets the mark in front.
QByteArray withMark(const QByteArray &wireReply, char mark);

} // namespace update

class UpdateOffer {
public:
    // Names inside the update folder.
    static constexpr char ClientFile[] = "Lexar";
    static constexpr char UpdaterFile[] = "LexarE";
    static constexpr char VersionFile[] = "VERSION";

    // Reads and checks the folder. Null with a Russian reason on failure: a missing
    // or empty file, a VERSION that is not a dotted number, a file too large for the
    // client's reply reader, or a file the client would not receive intact.
    static std::shared_ptr<const UpdateOffer> load(const QString &folder, QString *error);

    const QByteArray &version() const { return m_version; }
    // A remote client that registered with `clientVersion` should update. An empty
    // version (no registration yet, or none in it) is not offered anything.
    bool isNewerThan(const QByteArray &clientVersion) const;
    // The whole "CL_E" (client) or "CL_B" (updater) reply without a mark; empty for
    // other tags.
    QByteArray reply(const QByteArray &tag) const;

private:
    QByteArray m_version;
    QByteArray m_clientReply;
    QByteArray m_updaterReply;
};
