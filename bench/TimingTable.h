#pragma once

// What the table-printing benchmarks share: how an action is timed, the sizes asked for on the
// command line, and the Markdown table of milliseconds they print, one column per size.

#include <QElapsedTimer>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <vector>

namespace bench {

// Milliseconds: the median of a few runs after one that warms the connection's page cache (the
// reports time a first read of their own, with the cache emptied); a slow action runs once more
// only, so the "before" store can be measured in minutes rather than hours.
inline double measure(const std::function<void()>& action)
{
    std::vector<double> runs;
    QElapsedTimer timer;
    action();
    for (int i = 0; i < 7; ++i) {
        timer.start();
        action();
        runs.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (runs.front() > 100.0)
            break;
    }
    std::ranges::sort(runs);
    return runs.at(runs.size() / 2);
}

// The row counts to measure at: those given, or 10 000 and 1 000 000; empty when one given is
// no positive number.
inline std::vector<int> sizesFrom(int argc, char** argv)
{
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(QString::fromLocal8Bit(argv[i]).toInt());
    if (sizes.empty())
        sizes = {10000, 1000000};
    if (std::ranges::any_of(sizes, [](int n) { return n <= 0; }))
        return {};
    return sizes;
}

// One column of timings by action, and the actions in the order they were first measured.
struct TimingTable
{
    std::vector<int> sizes;
    std::vector<std::map<QString, double>> columns;
    std::vector<QString> order;

    explicit TimingTable(std::vector<int> measuredSizes) : sizes(std::move(measuredSizes)), columns(sizes.size()) {}

    void record(std::size_t column, const QString& name, double ms)
    {
        if (std::ranges::find(order, name) == order.end())
            order.push_back(name);
        columns.at(column)[name] = ms;
    }

    void print() const
    {
        std::printf("\n| action (ms) |");
        for (int size : sizes)
            std::printf(" %d rows |", size);
        std::printf("\n| --- |");
        for (std::size_t i = 0; i < sizes.size(); ++i)
            std::printf(" ---: |");
        std::printf("\n");
        for (const QString& name : order) {
            std::printf("| %s |", qPrintable(name));
            for (const auto& column : columns) {
                const auto found = column.find(name);
                if (found == column.end())
                    std::printf(" - |");
                else
                    std::printf(" %.2f |", found->second);
            }
            std::printf("\n");
        }
    }
};

} // namespace bench
