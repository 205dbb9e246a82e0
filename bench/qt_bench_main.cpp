// The entry point of the benchmarks that draw with Qt: they need an application object, which
// Google Benchmark's own main does not make.
#include <QApplication>
#include <benchmark/benchmark.h>

int main(int argc, char** argv) {
    // The offscreen platform says at every window that it cannot pass size hints on.
    qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (!text.contains(QStringLiteral("propagateSizeHints")))
                qt_message_output(type, context, text);
        });
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
