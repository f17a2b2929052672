#pragma once

#include <QDateTime>
#include <QString>

// Store files of a known size and shape for benchmarks: activities spread over whole years before a
// fixed end, each with a project (most of them) and zero to three tasks, written straight into a store
// file that ObjectStore::open created. Same parameters, same file, byte for byte of content.
class StoreGenerator
{
public:
    struct Parameters
    {
        int activities = 100000;
        int years = 10;
        int projects = 50;
        int tasks = 200;
        quint32 seed = 20160314;

        // A name that tells the parameters apart (and the local time zone, which fixes yearMonth).
        QString key() const;
    };

    // The moment the generated activities end before: 1 January 2026, local midnight.
    static QDateTime endOfData();

    // The path of a generated store for these parameters, kept in the temporary folder between runs.
    // Made on first use (a few seconds for 100 000 activities). Treat it as read-only; take a copy for
    // benchmarks that write. Aborts the program when the file cannot be made.
    static QString cachedStore(const Parameters &parameters);

    // Copies the cached store to `filePath` (replacing a file there) and returns whether it worked.
    static bool copyCachedStore(const Parameters &parameters, const QString &filePath);

    // Writes a new store at `filePath`, which must not exist yet. Returns whether it worked.
    static bool generate(const Parameters &parameters, const QString &filePath,
                         QString *errorMessage = nullptr);

    // Texts that the generator puts into activity texts, for search benchmarks: one that occurs in
    // roughly a tenth of the texts, and one that occurs in none.
    static QString frequentWord() { return QStringLiteral("review"); }
    static QString absentWord() { return QStringLiteral("zzyzx"); }
    // The name of the generated project with that 0-based index.
    static QString projectName(int index);
    static QString taskName(int index);
};
