// Numbers turned into text: for the exchange packages, documents and
// reports (formatNumber) and for the number columns of the tables
// (numberColumnText), each beside the plain library conversion it replaced
// as the reference (range 0).
#include "db/file/NumberText.h"

#include <benchmark/benchmark.h>

#include <QVector>
#include <charconv>

namespace {

// Amounts as the tables hold them: whole numbers, decimals, small fractions.
QVector<double> amounts()
{
    QVector<double> out;
    for (int i = 0; i < 100000; ++i) {
        switch (i % 4) {
        case 0: out << double(i); break;
        case 1: out << i * 0.37; break;
        case 2: out << i * 1e-6; break;
        default: out << -12345678.125 - i; break;
        }
    }
    return out;
}

void BM_NumberText(benchmark::State &state)
{
    const QVector<double> values = amounts();
    const bool ours = state.range(0) != 0;
    for (auto _ : state) {
        qsizetype total = 0;
        for (double v : values) {
            if (ours) {
                total += db::formatNumber(v, 6).size();
            } else {
                char buf[32];
                const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
                total += QString::fromLatin1(buf, r.ptr - buf).size();
            }
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * values.size());
}

void BM_NumberColumnText(benchmark::State &state)
{
    const QVector<double> values = amounts();
    const bool ours = state.range(0) != 0;
    for (auto _ : state) {
        qsizetype total = 0;
        for (double v : values)
            total += ours ? db::numberColumnText(v, 20, 6)->size()
                          : QByteArray::number(v, 'f', 6).rightJustified(20, ' ').size();
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * values.size());
}

} // namespace

BENCHMARK(BM_NumberText)->ArgName("ours")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NumberColumnText)->ArgName("ours")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
