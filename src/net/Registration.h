#pragma once
// The body of the registration replies "NM"/"NMD": an optional "MES=" with a message
// for the user (to the end of the body), "DICT=" with the comma list of dictionary
// names ended by ",END," (or by the end of the body), and "CONC," when concordances
// are offered. Markers are found whatever the case of their Latin letters.
#include <QByteArray>
#include <QList>

struct RegistrationReply {
    bool hasMessage = false;
    QByteArray message;
    bool hasDictionaries = false;   // without "DICT=" the client asks again ("NMD")
    QList<QByteArray> dictionaries;
    bool concordance = false;
};

RegistrationReply readRegistration(const QByteArray &body);
