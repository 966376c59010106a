// Every command-line argument belongs to the program: Qt must not read one as its own option.
// Runs without a QApplication of its own, since the layer creates the one it starts.
#include "toolkit/toolkit.h"

#include <QApplication>
#include <cstdio>

int main() {
    static char name[] = "tessary";
    static char reverse[] = "-reverse";
    char* arguments[] = {name, reverse, nullptr};
    int count = 2;
    if (!StartToolkit(count, arguments)) {
        std::fprintf(stderr, "FAIL: the toolkit did not start\n");
        return 1;
    }
    const bool mirrored = QApplication::layoutDirection() == Qt::RightToLeft;
    const bool kept = CommandArgument(0) == "-reverse";
    ShutdownToolkit();
    if (mirrored || !kept) {
        std::fprintf(stderr, "FAIL: mirrored layout %d, argument kept for the program %d\n",
                     mirrored, kept);
        return 1;
    }
    std::printf("PASS: \"-reverse\" stays the program's argument\n");
    return 0;
}
