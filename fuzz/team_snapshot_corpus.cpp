// Writes the seed corpus of team_snapshot_fuzzer into the folder given as the argument.
#include "support/team/TeamWireFixtures.h"

#include <QDir>
#include <QFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral(".")))
        return 1;
    for (const auto &input : tolvaran::fixtures::team::snapshotCorpus()) {
        QFile file(folder.filePath(input.name + QStringLiteral(".json")));
        if (!file.open(QIODevice::WriteOnly) || file.write(input.bytes) != input.bytes.size())
            return 1;
    }
    return 0;
}
