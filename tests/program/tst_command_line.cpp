// The arguments answered without a window, and how the real program starts when no display can
// be reached: a plain line on standard error and exit code 1, never a toolkit abort.
#include "program/command_line.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

namespace {

const QByteArray VERSION_TEXT = "Tessary 1.20\n";
const QByteArray USAGE_START = "Usage: tessary [FILE]\n";

// A display number that no X server on this machine answers to.
QString UnusedDisplay() {
    for (int number = 4321; number < 4421; ++number) {
        if (!QFile::exists(QString("/tmp/.X11-unix/X%1").arg(number)) &&
            !QFile::exists(QString("/tmp/.X%1-lock").arg(number))) {
            return QString(":%1").arg(number);
        }
    }
    return ":4421";
}

struct Finished {
    int exitCode = -1;
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    QByteArray output;
    QByteArray errors;
};

// Runs the built program with `arguments`; `environment` holds NAME=VALUE to set and NAME alone to
// remove, applied to the test's own environment with every display variable removed first.
Finished RunProgram(const QStringList& arguments, const QStringList& environment,
                    const QString& outputFile = {}, rlim_t fileSizeLimit = RLIM_INFINITY) {
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        variables.remove(name);
    }
    for (const QString& entry : environment) {
        const qsizetype equals = entry.indexOf('=');
        if (equals < 0) {
            variables.remove(entry);
        } else {
            variables.insert(entry.left(equals), entry.mid(equals + 1));
        }
    }
    QProcess process;
    process.setProcessEnvironment(variables);
    if (!outputFile.isEmpty()) {
        process.setStandardOutputFile(outputFile);
    }
    if (fileSizeLimit != RLIM_INFINITY) {
        process.setChildProcessModifier([fileSizeLimit] {
            // The signal as a shell leaves it, so that only the program itself can ignore it.
            std::signal(SIGXFSZ, SIG_DFL);
            rlimit limit{};
            getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = fileSizeLimit;
            setrlimit(RLIMIT_FSIZE, &limit);
        });
    }
    process.start(TESSARY_PROGRAM, arguments);
    Finished finished;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return finished;
    }
    finished.exitCode = process.exitCode();
    finished.exitStatus = process.exitStatus();
    finished.output = process.readAllStandardOutput();
    finished.errors = process.readAllStandardError();
    return finished;
}

QByteArray LastLine(const QByteArray& text) {
    const QList<QByteArray> lines = text.trimmed().split('\n');
    return lines.isEmpty() ? QByteArray() : lines.constLast();
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

  private slots:
    void answer_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("expected"); // empty: the program starts as usual

        QTest::newRow("no argument") << QStringList{} << QByteArray();
        QTest::newRow("--version") << QStringList{"--version"} << VERSION_TEXT;
        QTest::newRow("--help") << QStringList{"--help"} << USAGE_START;
        QTest::newRow("--version before a file name")
            << QStringList{"--version", "data.bin"} << VERSION_TEXT;
        QTest::newRow("--help after a file name is ignored like any later argument")
            << QStringList{"data.bin", "--help"} << QByteArray();
        QTest::newRow("a file name") << QStringList{"data.bin"} << QByteArray();
        QTest::newRow("upper case is a file name") << QStringList{"--HELP"} << QByteArray();
        QTest::newRow("with a value it is a file name")
            << QStringList{"--help=all"} << QByteArray();
        QTest::newRow("-h is short for --help") << QStringList{"-h"} << USAGE_START;
        QTest::newRow("-V is short for --version") << QStringList{"-V"} << VERSION_TEXT;
        QTest::newRow("after --, --help is a file name")
            << QStringList{"--", "--help"} << QByteArray();
        QTest::newRow("quote characters make it a file name")
            << QStringList{"\"--version\""} << QByteArray();
    }

    void answer() {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, expected);
        std::vector<QByteArray> storage{"tessary"};
        for (const QString& argument : arguments) {
            storage.push_back(argument.toLocal8Bit());
        }
        std::vector<const char*> argv;
        for (const QByteArray& argument : storage) {
            argv.push_back(argument.constData());
        }
        argv.push_back(nullptr);
        const std::optional<std::string> answer =
            CommandLineAnswer(static_cast<int>(storage.size()), argv.data());
        if (expected.isEmpty()) {
            QVERIFY2(!answer, answer ? answer->c_str() : "");
        } else {
            QVERIFY(answer.has_value());
            QVERIFY2(QByteArray::fromStdString(*answer).startsWith(expected), answer->c_str());
        }
    }

    void realProgram_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("outputStart");
        QTest::addColumn<QByteArray>("errorLine"); // a part of the one line expected, or empty

        const QString file = "inspected.bin"; // never reached: the display fails first
        const QString noServer = UnusedDisplay();

        QTest::newRow("--version needs no display")
            << QStringList{"--version"} << QStringList{} << 0 << VERSION_TEXT << QByteArray();
        QTest::newRow("--help needs no display")
            << QStringList{"--help"} << QStringList{} << 0 << USAGE_START << QByteArray();
        QTest::newRow("--version with the offscreen platform")
            << QStringList{"--version"} << QStringList{"QT_QPA_PLATFORM=offscreen"} << 0
            << VERSION_TEXT << QByteArray();
        QTest::newRow("DISPLAY unset, no platform chosen")
            << QStringList{file} << QStringList{} << 1 << QByteArray()
            << QByteArray("DISPLAY is not set");
        QTest::newRow("DISPLAY empty, xcb chosen")
            << QStringList{} << QStringList{"DISPLAY=", "QT_QPA_PLATFORM=xcb"} << 1 << QByteArray()
            << QByteArray("DISPLAY is not set");
        QTest::newRow("DISPLAY names a display with no server")
            << QStringList{file} << QStringList{"DISPLAY=" + noServer} << 1 << QByteArray()
            << ("cannot connect to the display \"" + noServer.toUtf8() + "\"");
        QTest::newRow("DISPLAY with no server, xcb chosen")
            << QStringList{} << QStringList{"DISPLAY=" + noServer, "QT_QPA_PLATFORM=xcb"} << 1
            << QByteArray() << QByteArray("cannot connect to the display");
    }

    void realProgram() {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, environment);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, outputStart);
        QFETCH(QByteArray, errorLine);

        const Finished finished = RunProgram(arguments, environment);
        QCOMPARE(finished.exitStatus, QProcess::NormalExit);
        QCOMPARE(finished.exitCode, exitCode);
        if (outputStart.isEmpty()) {
            QCOMPARE(finished.output, QByteArray());
        } else {
            QVERIFY2(finished.output.startsWith(outputStart), finished.output.constData());
        }
        if (errorLine.isEmpty()) {
            QCOMPARE(finished.errors, QByteArray());
        } else {
            QCOMPARE(finished.errors.count('\n'), 1);
            QVERIFY2(finished.errors.startsWith("tessary: "), finished.errors.constData());
            QVERIFY2(finished.errors.contains(errorLine), finished.errors.constData());
        }
    }

    // Without Qt's Wayland plugin, or without a compositor behind the name, Qt finds no platform
    // at all; the program must still end with its own line rather than an abort.
    void waylandNameWithoutAnyDisplay() {
        const Finished finished = RunProgram({}, {"WAYLAND_DISPLAY=tessary-test-no-compositor",
                                                  "XDG_RUNTIME_DIR=" + QDir::tempPath()});
        QCOMPARE(finished.exitStatus, QProcess::NormalExit);
        QCOMPARE(finished.exitCode, 1);
        QVERIFY2(LastLine(finished.errors).startsWith("tessary: no display"),
                 finished.errors.constData());
    }

    void answerThatCannotBeWrittenIsAFailure_data() {
        QTest::addColumn<bool>("fileSizeLimit");
        QTest::newRow("onto a device that is always full") << false;
        // Unless the program ignores SIGXFSZ, the write kills it: so would a save past the limit.
        QTest::newRow("into a file, past a file size limit of 0 bytes") << true;
    }

    void answerThatCannotBeWrittenIsAFailure() {
        QFETCH(bool, fileSizeLimit);
        QTemporaryDir folder;
        const QString output = fileSizeLimit ? folder.filePath("version.txt") : "/dev/full";
        if (!fileSizeLimit && !QFile::exists(output)) {
            QSKIP("this system has no /dev/full");
        }
        const Finished finished =
            RunProgram({"--version"}, {}, output, fileSizeLimit ? 0 : RLIM_INFINITY);
        QCOMPARE(finished.exitStatus, QProcess::NormalExit);
        QCOMPARE(finished.exitCode, 1);
        QCOMPARE(finished.errors, QByteArray("tessary: cannot write to standard output\n"));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
