// Makes a seeded records store for the report's rendering check: seed_stats_store FILE COUNT SEED.
#include "SeededStore.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: seed_stats_store FILE COUNT SEED\n");
        return 2;
    }
    try {
        stats_test::FillSeededStore(QString::fromLocal8Bit(argv[1]), std::atoi(argv[2]),
                                    unsigned(std::strtoul(argv[3], nullptr, 10)));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
