#include "audio/audio_output.h"
#include "tests/support/qt_app.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QTest>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace sornafex {
namespace {

struct TOutputCase {
    std::string name;
    std::vector<bool> enabled; // SetEnabled calls, in order
    bool playsAtEnd;           // where there is an output
};

class AudioOutput : public testing::TestWithParam<TOutputCase> {};

// Offscreen in a build machine there is usually no output: then the output says so and nothing
// plays. Where one exists the state agrees with QMediaDevices, and the sink follows the calls.
TEST_P(AudioOutput, AgreesWithTheSystemAndFollowsTheCalls) {
    test::EnsureQtApp();
    const TOutputCase& c = GetParam();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    TAudioOutput output;
    if (device.isNull()) {
        EXPECT_FALSE(output.HasOutput());
        EXPECT_EQ(output.Description(), QStringLiteral("aucune sortie audio"));
    } else if (output.HasOutput()) {
        EXPECT_EQ(output.Description(), device.description());
        EXPECT_TRUE(device.isFormatSupported(output.Format()));
    }
    output.Synth().SetSpan(40, 90);
    output.Synth().SetValue(65);
    for (const bool on : c.enabled)
        output.SetEnabled(on);
    const bool plays = output.HasOutput() && c.playsAtEnd;
    EXPECT_TRUE(QTest::qWaitFor([&] { return output.Playing() == plays; }, 2000));
}

INSTANTIATE_TEST_SUITE_P(Calls, AudioOutput,
                         testing::Values(TOutputCase{"NeverOn", {}, false},
                                         TOutputCase{"On", {true}, true},
                                         TOutputCase{"OnThenOff", {true, false}, false},
                                         TOutputCase{"BackOn", {true, false, true}, true}),
                         [](const auto& info) { return info.param.name; });

} // namespace
} // namespace sornafex
