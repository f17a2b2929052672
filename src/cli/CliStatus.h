#pragma once

#include <QString>

// Exit statuses of the command line, and its one-line messages on stderr and output on stdout.
namespace CliStatus {

constexpr int Success = 0;
// The command could not be carried out (a file, the store, an unknown name, a failed write).
constexpr int Failure = 1;
// The command line itself is wrong: an unknown verb or option, a missing or malformed value.
constexpr int UsageError = 2;

// Writes "pendulo VERB: message" (or "pendulo: message" without a verb) as one line on stderr and
// answers `status`.
int fail(const QString &verb, const QString &message, int status);

// Writes the text as it stands to stdout, in UTF-8.
void print(const QString &text);

} // namespace CliStatus
