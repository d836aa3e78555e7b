#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QTextStream(stdout) << "Tolvaran " << QStringLiteral(TOLVARAN_VERSION)
                        << ": the data layer is built; the window is not built yet.\n";
    return 0;
}
