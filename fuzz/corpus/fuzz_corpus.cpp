// Writes the seeds of one fuzz target into a folder: fuzz_corpus NAME FOLDER.
#include "support/FuzzCorpus.h"

#include <QString>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: fuzz_corpus NAME FOLDER\n");
        return 2;
    }
    const QString name = QString::fromLocal8Bit(argv[1]);
    if (!tolvaran::fixtures::FuzzCorpus::write(name, QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "fuzz_corpus: no corpus written for %s (known: %s)\n", argv[1],
                     qPrintable(tolvaran::fixtures::FuzzCorpus::targetNames().join(u' ')));
        return 1;
    }
    return 0;
}
