#pragma once
// Reading of a private profile (INI) file of 8-bit code page 1251 text, the way the
// Windows profile API reads it:
//  - "[section]" lines open a section; "key=value" lines belong to the last section;
//    lines without "=" and lines before the first section carry nothing we read;
//  - section and key names compare case-insensitively: Latin letters and the
//    Cyrillic letters of code page 1251 (including Ё/ё and the other Slavic letters);
//  - the first section of a name is the one searched, and the first key in it;
//  - the value is trimmed of blanks; a value enclosed in matching single or double
//    quotes loses them;
//  - a missing section or key gives the default (trailing blanks removed); a line
//    "key=" gives an empty value, not the default;
//  - an absent file gives the defaults. A file that is there but cannot be opened or
//    read (a directory, a pipe, no permission) is an error the caller can see.
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

namespace platform {

class PrivateProfile {
public:
    enum class Status { Ok, Absent, Unreadable };

    // Reads and parses the file once; the object keeps its contents.
    explicit PrivateProfile(const QString &path);
    PrivateProfile() = default;   // an empty profile: every lookup gives its default

    // Parses bytes already in memory (for tests and for callers that read themselves).
    static PrivateProfile fromBytes(const QByteArray &contents);

    Status status() const { return m_status; }
    bool isUnreadable() const { return m_status == Status::Unreadable; }
    QString errorString() const { return m_error; }
    QString path() const { return m_path; }

    QByteArray value(QByteArrayView section, QByteArrayView key,
                     QByteArrayView defaultValue = {}) const;
    bool contains(QByteArrayView section, QByteArrayView key) const;

    // One lookup straight from the file, as GetPrivateProfileString does: the file is
    // read anew, so later changes to it are seen. Unreadable or absent: the default.
    static QByteArray read(const QString &path, QByteArrayView section, QByteArrayView key,
                           QByteArrayView defaultValue = {});

    // Case folding used for names: Latin and 1251 Cyrillic letters to capitals.
    static QByteArray upper1251(QByteArrayView text);
    static bool equalNames(QByteArrayView a, QByteArrayView b);

    // Larger files are not read past this size (a profile is a few lines; a huge
    // file is not a profile and must not eat the memory).
    static constexpr qint64 MaxFileSize = 4 * 1024 * 1024;

private:
    struct Entry {
        QByteArray key;
        QByteArray value;
    };
    struct Section {
        QByteArray name;
        QList<Entry> entries;
    };
    void parse(const QByteArray &contents);
    const Entry *find(QByteArrayView section, QByteArrayView key) const;

    QList<Section> m_sections;
    Status m_status = Status::Absent;
    QString m_path;
    QString m_error;
};

} // namespace platform
