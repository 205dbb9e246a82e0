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

// A build machine usually has no output: then the output says so and plays nothing. Where one
// exists, the output agrees with QMediaDevices and follows the calls.
TEST_P(AudioOutput, AgreesWithTheSystemAndFollowsTheCalls) {
    test::EnsureQtApp();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    TAudioOutput output;
    EXPECT_EQ(output.Description(),
              device.isNull() ? QStringLiteral("aucune sortie audio") : device.description());
    EXPECT_EQ(output.HasOutput(), !device.isNull());
    output.Synth().SetSpan(40, 90);
    output.Synth().SetValue(65);
    for (const bool on : GetParam().enabled)
        output.SetEnabled(on);
    const bool plays = output.HasOutput() && GetParam().playsAtEnd;
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
