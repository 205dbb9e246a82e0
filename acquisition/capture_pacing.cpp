#include "acquisition/capture_pacing.h"

#include <algorithm>
#include <cstdlib>
#include <sys/prctl.h>
#include <time.h>
#include <utility>

namespace sornafex {

namespace {

constexpr unsigned long kTimerSlackNs = 1000;

constexpr TMonoNs Decayed(TMonoNs value) {
    return value - value / 4;
}

constexpr TMonoNs DecayingMax(TMonoNs recent, TMonoNs value) {
    return std::max(Decayed(recent), value);
}

} // namespace

void TPacedPolling::Start(TMonoNs at) {
    *this = TPacedPolling{};
    m_quietSince = at;
    m_worstFrom = at;
}

void TPacedPolling::Polled(TMonoNs previousAt, TMonoNs at, bool changed) {
    const bool slept = m_next > previousAt;
    const bool blind = std::exchange(m_handedOff, false) || slept;
    if (at - m_worstFrom >= kWorstMemory) {
        m_worstBefore = at - m_worstFrom >= 2 * kWorstMemory ? 0 : m_worst;
        m_worst = 0;
        m_worstFrom = at;
    }
    if (slept && at > m_next) {
        m_lateness = DecayingMax(m_lateness, at - m_next);
        m_worst = std::max(m_worst, std::min(at - m_next, kLongestGuardedDelay));
    }
    if (changed) {
        TChange change{ChangeTimeOf(previousAt, at), (at - previousAt) / 2};
        m_lateness = Decayed(m_lateness);
        if (HasRhythm()) {
            if (blind && at < m_predicted - m_guard) {
                m_known = 0; // the level ended earlier than the rhythm allows
            } else {
                const TMonoNs unexplained = std::abs(change.at - m_predicted) - change.uncertainty;
                m_error = DecayingMax(m_error, std::max<TMonoNs>(unexplained, 0));
                // Found after a late wake-up, the change fits the rhythm somewhere in a long
                // interval: the prediction times it better than the interval's middle.
                if (change.uncertainty > m_guard)
                    change = {std::clamp(m_predicted, previousAt, at), 0};
            }
        }
        Remember(change);
        m_quietSince = at;
    } else if (HasRhythm() && at > m_predicted + m_guard) {
        m_known = 0; // the line slowed down or stopped
        m_quietSince = at;
    }
    m_next = NextPoll(at);
}

void TPacedPolling::Remember(const TChange& change) {
    if (m_known == m_changes.size()) {
        std::shift_left(m_changes.begin(), m_changes.end(), 1);
        --m_known;
    }
    m_changes[m_known++] = change;
    if (!HasRhythm())
        return;
    m_level = m_changes[1].at - m_changes[0].at;
    m_predicted = m_changes[2].at + m_level;
    m_following = m_predicted + (m_changes[2].at - m_changes[1].at);
    TMonoNs uncertainty = 0;
    for (const TChange& known : m_changes)
        uncertainty += known.uncertainty;
    m_guard = std::min(kMinGuard + 2 * m_error + uncertainty, m_level / 2);
}

TMonoNs TPacedPolling::NextPoll(TMonoNs at) {
    if (!HasRhythm())
        return at - m_quietSince < kQuietAfter ? kPollAtOnce : at + Jittered(kQuietLook);
    if (m_level / 2 < kMinGuard)
        return kPollAtOnce;
    // Early enough for the usual wake-up delay to leave the guard, and for the worst one seen
    // lately not to skip the change after the predicted one.
    const TMonoNs wake = std::min(m_predicted - m_guard - m_lateness,
                                  m_following - m_guard - std::max(m_worst, m_worstBefore));
    if (wake <= at)
        return kPollAtOnce;
    return std::min(wake, at + Jittered(std::min(m_level / 4, kLongestSleep)));
}

TMonoNs TPacedPolling::Jittered(TMonoNs span) {
    // xorshift32: cheap, and the same sequence in every run, so that tests are repeatable.
    m_jitter ^= m_jitter << 13;
    m_jitter ^= m_jitter >> 17;
    m_jitter ^= m_jitter << 5;
    return span - static_cast<TMonoNs>(m_jitter % static_cast<std::uint64_t>(span / 2 + 1));
}

void SleepUntil(TMonoNs at) {
    const timespec deadline{static_cast<time_t>(at / kNsPerSecond),
                            static_cast<long>(at % kNsPerSecond)};
    // An interrupted sleep is not resumed: the loop looks at the line and asks again.
    ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr);
}

void LowerTimerSlack() {
    // A refusal only leaves the default slack: the sleeps end a little later, the guard absorbs
    // it as wake-up delay.
    ::prctl(PR_SET_TIMERSLACK, kTimerSlackNs, 0ul, 0ul, 0ul);
}

} // namespace sornafex
