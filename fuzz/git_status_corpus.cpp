// Writes the seed corpus of git_status_fuzzer into the folder given as the argument.
#include "support/FuzzCorpus.h"

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    return tolvaran::fixtures::FuzzCorpus::write(QStringLiteral("git_status"),
                                                 QString::fromLocal8Bit(argv[1]))
        ? 0
        : 1;
}
