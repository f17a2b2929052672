#include "ActivityParser.h"
#include "BenchmarkMain.h"

#include <QString>

#include <benchmark/benchmark.h>

#include <iterator>

// The parser runs before every save of an activity, so it must stay cheap even on long texts.
namespace {

// A text of exactly `length` UTF-16 code units built from words with a project tag, task tags, a
// duplicate task and an emoji.
QString taggedText(int length)
{
    static const QString words[] = {QStringLiteral("Write"),   QStringLiteral("@Acme"),
                                    QStringLiteral("#docs"),   QStringLiteral("report"),
                                    QStringLiteral("#Review"), QStringLiteral("for"),
                                    QStringLiteral("🚀"),       QStringLiteral("#review")};
    QString text;
    for (int i = 0; text.size() < length; ++i)
        text += words[i % std::size(words)] + u' ';
    text.truncate(length);
    return text;
}

void BM_ComponentsFromText(benchmark::State &state)
{
    const QString text = taggedText(int(state.range(0)));
    const ActivityParser &parser = ActivityParser::defaultParser();
    for (auto _ : state)
        benchmark::DoNotOptimize(parser.componentsFromText(text));
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * text.size() * qsizetype(sizeof(QChar)));
}

} // namespace

BENCHMARK(BM_ComponentsFromText)->Arg(10)->Arg(100)->Arg(10000);

int main(int argc, char **argv)
{
    return runBenchmarks(argc, argv);
}
