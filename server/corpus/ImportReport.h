#pragma once
// The import report of a cold build: what was read (texts, tokens and words, per
// author and per format), what was left out and why, and what cleaning replaced.
// Printed by the server at the end of the build and kept beside the index cache.
#include <QString>

namespace corvus {

class Corpus;

// The report as Russian text, one line per fact.
QString importReport(const Corpus &corpus);
// The report's file beside a cache file: "<cache>.report.txt" without ".idx".
QString importReportPath(const QString &cachePath);
// The log line of a build that replaced a cache file (BuildStats::cacheMiss, see
// CacheFile::read), Russian; "" when there was none to replace ("missing").
QString cacheMissNote(const QString &why);

} // namespace corvus
