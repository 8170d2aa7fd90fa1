// Time of the list building step for a card of many recordings (default
// 10,000): prints "native_build_ms MEDIAN ms" and the list sizes.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include "catalogue_model.h"

using namespace catalogue;

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 21;
    // The same shape as the benchmark card: 500 recordings a day, 150 s apart,
    // in the library's order (Normal, Event, Park, Photo blocks).
    std::vector<std::string> blocks[4];
    for (int i = 0; i < count; ++i) {
        int day = i / 500, t = (i % 500) * 150 + 3;
        char letter = i % 10 == 0 ? 'E' : i % 25 == 1 ? 'P' : i % 20 == 3 ? 'J' : 'N';
        char name[40];
        snprintf(name, sizeof name, "R_%02d%02d%02d_%02d%02d%02d_%c1.avi", 24, 1 + day / 28, 1 + day % 28, t / 3600,
                 t / 60 % 60, t % 60, letter);
        int block = letter == 'N' ? 0 : letter == 'E' ? 1 : letter == 'P' ? 2 : 3;
        blocks[block].push_back(name);
    }
    std::vector<std::string> names;
    for (auto& b : blocks) names.insert(names.end(), b.begin(), b.end());
    EntryTable table;
    table.SetNames(names);

    std::vector<double> ms;
    ListContents lists;
    for (int r = 0; r < runs; ++r) {
        auto t0 = std::chrono::steady_clock::now();
        lists = BuildLists(table, kFilterAll, 0, 0);
        auto t1 = std::chrono::steady_clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    printf("native_build_ms %.2f ms (recordings %d, dates %zu, hours %zu, files %zu, events %zu; limit 20 ms)\n",
           ms[ms.size() / 2], count, lists.dates.size(), lists.hours.size(), lists.files.size(), lists.events.size());
    return 0;
}
